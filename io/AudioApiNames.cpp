#include "io/AudioApi.h"

// The sound systems' names and the name the program gives itself on them.
// These stay in the program, not in the sound-system library: the command
// line and the window use them without loading it, and the library finds
// them in the program that loads it.

#include <cstdlib>
#include <cstring>
#include <string>

namespace sonabel {

const char* getAudioApiKey(AudioApi api) {
    switch (api) {
    case AudioApi::jack: return "jack";
    case AudioApi::pulse: return "pulse";
    case AudioApi::alsa: return "alsa";
    case AudioApi::null: break;
    }
    return "null";
}

bool findAudioApi(const char* key, AudioApi* api) {
    for (AudioApi a : {AudioApi::jack, AudioApi::pulse, AudioApi::alsa, AudioApi::null}) {
        if (key && std::strcmp(key, getAudioApiKey(a)) == 0) {
            *api = a;
            return true;
        }
    }
    return false;
}

const char* getAudioApiKeys() { return "jack, pulse, alsa, null"; }

namespace {
std::string clientName;
} // namespace

void setAudioClientName(const char* name) { clientName = name ? name : ""; }

const char* getAudioClientName() { return clientName.empty() ? nullptr : clientName.c_str(); }

namespace {

// Appends key="value" to a PulseAudio property list unless the list has key.
void addProperty(std::string& list, const std::string& key, const std::string& value) {
    if ((" " + list).find(" " + key + "=") != std::string::npos) return;
    std::string quoted;
    for (char c : value) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    list += (list.empty() ? "" : " ") + key + "=\"" + quoted + "\"";
}

} // namespace

void setPulseProperties(const char* mediaName, const char* role) {
    const char* user = std::getenv("PULSE_PROP");
    std::string list = std::getenv("PULSE_PROP_OVERRIDE") ? std::getenv("PULSE_PROP_OVERRIDE") : "";
    auto userHas = [&](const char* key) { return user && (std::string(" ") + user).find(std::string(" ") + key + "=") != std::string::npos; };
    if (getAudioClientName() && !userHas("application.name")) addProperty(list, "application.name", getAudioClientName());
    if (mediaName && *mediaName && !userHas("media.name")) addProperty(list, "media.name", mediaName);
    if (role && *role && !userHas("media.role")) addProperty(list, "media.role", role);
    if (!list.empty()) ::setenv("PULSE_PROP_OVERRIDE", list.c_str(), 1);
}

const char* getAudioApiName(AudioApi api) {
    switch (api) {
    case AudioApi::jack: return "JACK";
    case AudioApi::pulse: return "PulseAudio";
    case AudioApi::alsa: return "ALSA";
    case AudioApi::null: break;
    }
    return "Null";
}

} // namespace sonabel
