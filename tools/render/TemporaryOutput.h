#pragma once
// The output of a render, written under a temporary name in the target's
// folder and renamed over the target only when the render succeeded, so a
// failed or interrupted render never replaces what the user had.
//
// Call sequence: create (makes the empty temporary file), write to path(),
// then commit (rename over the target) or, after a failure, keepIfNew (the
// completed part takes the target's name only where no file had it) or
// discard. The destructor removes a temporary file that is still there; a
// process killed outright leaves only the temporary file, never a
// half-written target.
//
// The target is followed through symbolic links, so the file the link names
// is replaced and the link stays. Used from one thread.

#include <string>

namespace sonabel {

class TemporaryOutput {
public:
    explicit TemporaryOutput(const std::string& target);
    ~TemporaryOutput();
    TemporaryOutput(const TemporaryOutput&) = delete;
    TemporaryOutput& operator=(const TemporaryOutput&) = delete;

    // Creates ".NAME.XXXXXX" beside the target, with the target's permission
    // bits when it exists (else those a new file gets). False with the reason
    // in error ("No such file or directory", "Permission denied", ...).
    bool create(std::string& error);
    // The temporary file's name; empty before create.
    const std::string& path() const { return temporary; }
    // Renames the temporary file over the target, after handing its data
    // to the disk when a file has the target's name. False with the reason.
    bool commit(std::string& error);
    // Gives the temporary file the target's name when no file has that name
    // (true), else removes it (false): the user's file is never replaced.
    bool keepIfNew();
    // Removes the temporary file.
    void discard();

    // Whether both names reach one file (device and inode, after following
    // links); false when either does not exist.
    static bool sameFile(const std::string& a, const std::string& b);

private:
    std::string target;    // as the user gave it
    std::string resolved;  // the file it names, links followed
    std::string temporary; // empty once renamed or removed
};

} // namespace sonabel
