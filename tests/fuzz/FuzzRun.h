#pragma once
// The run around the damaged inputs: the seed, the input being read (named when the
// program crashes or hangs on it), and the selection of one input for a replay.

#include "FuzzCorpus.h"

#include <string>
#include <vector>

namespace Fuzz
{

// ORVO_FUZZ_SEED, or the fixed seed of the ctest run.
uint32_t Seed();
// Every damaged input of the image fixtures, numbered in the name; ORVO_FUZZ_ONLY=<n>
// keeps only input n, for a replay; ORVO_FUZZ_FROM=<n> starts at input n.
std::vector<Input> ImageInputs(uint32_t seed);

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

} // namespace Fuzz
