#pragma once
// The report's text form of raw bytes (the hardware address of an adapter).

#include <cstddef>
#include <memory>

// Base64 layout with the alphabet "A-Za-z0-9*-" and '[' as fill character, so the
// text never needs escaping inside a CDATA section. Allocates the text (with a
// terminating NUL) into *out and gives its length; 0 when bytes or out is null.
int EncodeBytes(const unsigned char* bytes, std::size_t count, std::unique_ptr<wchar_t[]>* out);

#include <string>
#include <vector>

// The bytes of a text EncodeBytes made; false for any other text.
bool DecodeBytes(const std::wstring& text, std::vector<unsigned char>& bytes);
