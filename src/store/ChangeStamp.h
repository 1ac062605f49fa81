#pragma once

#include <cstdint>

// Saving encodes only what changed since the last save. Every change to a folder, to the address
// book or to one of their elements takes a new number from one counter for the whole process, so
// an unchanged number means an unchanged record, whoever made the change and whether or not it
// was announced.
namespace change_stamp {

// A number larger than every one given before (any thread).
std::uint64_t Next();

} // namespace change_stamp
