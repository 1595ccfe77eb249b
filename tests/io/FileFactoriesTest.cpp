// The file factories: index 0 makes the WAVE classes and index 1 the
// libsndfile ones, reachable through both of their sides; any other index
// makes nothing.

#include "core/AudioReader.h"
#include "core/AudioWriter.h"
#include "io/WaveFileReader.h"
#include "io/WaveFileWriter.h"

#include <gtest/gtest.h>

#include <memory>

using namespace sonabel;

namespace {

TEST(FileFactoriesTest, IndexZeroIsWave) {
    std::unique_ptr<AudioFile> reader(createFileReader(0));
    ASSERT_NE(dynamic_cast<WaveFileReader*>(reader.get()), nullptr);
    EXPECT_NE(dynamic_cast<AudioReader*>(reader.get()), nullptr);
    EXPECT_STREQ(reader->getDescription(), "Extension for reading Microsoft WAVE files.");

    std::unique_ptr<AudioFile> writer(createFileWriter(0));
    ASSERT_NE(dynamic_cast<WaveFileWriter*>(writer.get()), nullptr);
    auto* asWriter = dynamic_cast<AudioWriter*>(writer.get());
    auto* asFileWriter = dynamic_cast<AudioFileWriter*>(writer.get());
    ASSERT_NE(asWriter, nullptr);
    ASSERT_NE(asFileWriter, nullptr);
    asFileWriter->setBitsPerSample(8);
    EXPECT_EQ(static_cast<WaveFileFormat*>(writer->getFileFormat())->getBitsPerSample(), 8)
        << "the same object on every side";
    asWriter->setAudioFormat(AudioFormat(1, 8000.0f));
    EXPECT_EQ(writer->getFileFormat()->channels, 1);
}

TEST(FileFactoriesTest, OtherIndicesMakeNothing) {
    for (int index : {2, -1}) {
        EXPECT_EQ(createFileReader(index), nullptr) << index;
        EXPECT_EQ(createFileWriter(index), nullptr) << index;
    }
}

} // namespace
