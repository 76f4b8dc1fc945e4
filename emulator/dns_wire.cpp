#include "dns_wire.h"

#include <algorithm>

namespace camsim::dns {
namespace {

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameLabel(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

bool sameName(const Name& a, const Name& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), sameLabel);
}

}  // namespace camsim::dns
