// The damaged version data on its own, placed right before a page that may not be
// read: a query that reads one byte past the data ends the run on the input.

#include "FuzzRun.h"
#include "inventory/VersionInfo.h"
#include "inventory/VersionResource.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>

namespace
{

const wchar_t* const kQueries[] = {
    L"\\",
    L"\\VarFileInfo\\Translation",
    L"\\StringFileInfo\\040904b0\\ProductName",
    L"\\StringFileInfo\\040904b0\\CompanyName",
    L"\\StringFileInfo\\040904b0\\InternalName",
    L"\\StringFileInfo\\040904e4\\ProductName",
    L"\\StringFileInfo\\040704b0\\ProductName",
};

TEST(VersionBlockFuzz, QueriesOfSoundBlocksStayInsideTheData)
{
    const uint32_t seed = Fuzz::Seed();
    std::printf("fuzz seed %u\n", seed);
    // ORVO_FUZZ_TRUST_LENGTHS shows what the platform's queries do with data that was
    // not checked first.
    const bool trust = std::getenv("ORVO_FUZZ_TRUST_LENGTHS") != nullptr;
    Fuzz::Watch watch;
    int blocks = 0, sound = 0;
    for (const Fuzz::Input& input : Fuzz::ImageInputs(seed))
    {
        const std::string block = Fuzz::VersionBlockOf(input);
        if (block.empty())
            continue;
        ++blocks;
        Fuzz::GuardedBuffer buffer(block);
        ASSERT_NE(buffer.Data(), nullptr);
        watch.Enter("version data check", input.name);
        if (!Misc::VersionBlockIsSound(buffer.Data(), block.size()) && !trust)
            continue;
        ++sound;
        watch.Enter("version data query", input.name);
        for (const wchar_t* query : kQueries)
        {
            void* value = nullptr;
            UINT length = 0;
            if (::VerQueryValueW(buffer.Data(), query, &value, &length) && value)
            {
                const auto* at = static_cast<const uint8_t*>(value);
                EXPECT_TRUE(at >= buffer.Data() && at < buffer.Data() + block.size())
                    << input.name << " " << OrvoTest::Narrow(query);
            }
        }
    }
    std::printf("fuzz: %d damaged version data blocks checked, %d sound ones queried %zu ways\n", blocks,
                sound, std::size(kQueries));
}

// Blocks cut from the real fixtures hold together; the edges of the rules.
TEST(VersionBlockFuzz, SoundnessRules)
{
    const std::string image = OrvoTest::ReadBytes(OrvoTest::FixturePath(L"version_plain.dll"));
    const Fuzz::Layout layout = Fuzz::Describe(image);
    ASSERT_GT(layout.versionSize, 0u);
    std::string block = image.substr(layout.versionOffset, layout.versionSize);
    const auto* data = reinterpret_cast<const uint8_t*>(block.data());
    EXPECT_TRUE(Misc::VersionBlockIsSound(data, block.size()));
    EXPECT_FALSE(Misc::VersionBlockIsSound(data, 40)) << "cut inside the root";
    EXPECT_FALSE(Misc::VersionBlockIsSound(nullptr, 0));
    std::string longer = block;
    longer[0] = static_cast<char>(0xFF), longer[1] = static_cast<char>(0xFF);
    EXPECT_FALSE(Misc::VersionBlockIsSound(reinterpret_cast<const uint8_t*>(longer.data()), longer.size()))
        << "root longer than the data";
    std::string eightBit = block;
    eightBit[4] = 'V'; // the old 8-bit form is read differently by the platform
    EXPECT_FALSE(
        Misc::VersionBlockIsSound(reinterpret_cast<const uint8_t*>(eightBit.data()), eightBit.size()));
}

} // namespace
