#pragma once

#include <string>
#include <vector>

// A recipients text: display names or numbers separated by ";", as the composing view, the
// folders and the send operations keep it.
namespace recipients {

// The pieces between the ";", empty ones included ("a;;b" gives "a", "", "b"; "" gives one "").
std::vector<std::string> Split(const std::string& text);
// The pieces joined with ";".
std::string Join(const std::vector<std::string>& pieces);

} // namespace recipients
