#pragma once
// The run around the damaged inputs: the seed, the input being read (named when the
// program crashes or hangs on it), and the selection of one input for a replay.

#include "FuzzCorpus.h"

#include <string>
#include <string_view>
#include <vector>

namespace Fuzz
{

// ORVO_FUZZ_SEED, or the fixed seed of the ctest run.
uint32_t Seed();
// Every damaged input of the image fixtures, numbered in the name; ORVO_FUZZ_ONLY=<n>
// keeps only input n, for a replay; ORVO_FUZZ_FROM=<n> starts at input n.
std::vector<Input> ImageInputs(uint32_t seed);
// The inputs numbered in their names, narrowed by ORVO_FUZZ_ONLY and ORVO_FUZZ_FROM.
std::vector<Input> Selected(std::vector<Input> all);

// Names the input being read: a crash or a hang on it prints its name and the seed
// and ends the run.
class Watch
{
  public:
    Watch();
    ~Watch();
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;
    void Enter(const std::string& reader, const std::string& input);
};

// A copy of the bytes that ends where a page begins that may not be read: a reader
// that reads one byte past them ends the run on the input being read.
class GuardedBuffer
{
  public:
    explicit GuardedBuffer(std::string_view bytes);
    ~GuardedBuffer();
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;
    uint8_t* Data() const { return m_data; }
    std::string_view View() const { return {reinterpret_cast<const char*>(m_data), m_size}; }

  private:
    uint8_t* m_base = nullptr;
    uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
};

} // namespace Fuzz
