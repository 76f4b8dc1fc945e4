#pragma once
// Values inserted into the URLs the program builds: a space, '#', '%', '&',
// control bytes and bytes of 0x80 and above are percent-encoded, so that a
// typed value can neither break the request nor add parameters of its own.
// Every other byte goes as typed ('+' too: GMT+1 arrives as GMT+1).
#include <string>

std::string EncodeUrlValue(const std::string& value);
