#pragma once

#include <string>

// A recipient written as a telephone number instead of an address-book name: a reply to someone
// the book does not know, or a number the user typed.
namespace typed_number {

// The number a recipients piece stands for: "+48 602 123 456", "602-123-456" and
// "0048602123456" give "+48602123456", a short code "8080" stays "8080". Empty for anything that
// is not written as a number (a name, letters, fewer than 3 or more than 15 digits).
std::string NumberOf(const std::string& piece);

} // namespace typed_number
