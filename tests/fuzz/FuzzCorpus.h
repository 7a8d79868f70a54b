#pragma once
// Damaged copies of real images, made by a seeded generator: truncations at every
// header boundary, bit flips, out-of-range lengths, offsets and counts, and version
// resources broken in the ways damaged files break them. The same seed gives the
// same inputs, in the same order, on every run.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace Fuzz
{

struct Input
{
    std::string name; // names the fixture, the damage and the input's number, for replay
    std::string bytes;
    // Where the version data of the fixture lies (0 and 0 when it has none): the
    // damaged copy keeps it at the same place.
    std::size_t versionOffset = 0;
    std::size_t versionSize = 0;
};

// A field of an image: its place and width, named for the report of a failure.
struct Field
{
    std::string name;
    std::size_t offset;
    int width; // 2 or 4 bytes
};

// What the generator knows of one undamaged image.
struct Layout
{
    std::vector<std::size_t> boundaries;      // header, table and block starts and ends
    std::vector<Field> fields;                // lengths, offsets and counts
    std::vector<Field> versionFields;         // lengths of the version blocks
    std::vector<std::size_t> stringValueEnds; // the terminators of the version strings
    std::size_t versionOffset = 0;
    std::size_t versionSize = 0;
    std::size_t translationBlock = 0; // 0 when there is none
};

Layout Describe(const std::string& image);

class Generator
{
  public:
    explicit Generator(uint32_t seed) : m_random(seed) {}
    // Every damaged copy of one fixture (about 250 of them).
    std::vector<Input> Damage(const std::string& fixtureName, const std::string& image);

  private:
    uint32_t Next(uint32_t below) { return static_cast<uint32_t>(m_random() % below); }
    void Truncations(const std::string& name, const std::string& image, const Layout& layout,
                     std::vector<Input>& out);
    void FieldValues(const std::string& name, const std::string& image, const Layout& layout,
                     const std::vector<Field>& fields, int perField, std::vector<Input>& out);
    void VersionDamage(const std::string& name, const std::string& image, const Layout& layout,
                       std::vector<Input>& out);
    void BitFlips(const std::string& name, const std::string& image, const Layout& layout, int count,
                  std::vector<Input>& out);

    std::mt19937 m_random;
};

// Settings and log texts, cut, flipped and broken at their marks, line ends and
// characters (about 500 of them).
std::vector<Input> TextInputs(uint32_t seed);

// The version data block (VS_VERSIONINFO) of each damaged copy, cut out on its own.
std::string VersionBlockOf(const Input& input);

} // namespace Fuzz
