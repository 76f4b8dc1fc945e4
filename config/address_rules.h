#pragma once
// The Assign IP dialog's rules for address texts, shared with the
// command-line tool so that both refuse the same texts with the same messages.
#include <cstdint>
#include <string>

namespace address_rules {

// Parses as inet_addr does (every form it accepts; 255.255.255.255 and the
// empty text are not valid). False when invalid.
bool Parse(const char* text, uint32_t& address);

// The three checks, in the order the dialog runs them: null when the text is
// valid, else the message it shows.
const char* CheckIpAddress(const char* text);
const char* CheckSubnet(const char* text);
const char* CheckGateway(const char* text);

// The Edit dialog's name check on a name in 8-bit characters (Latin-1): null
// when the camera takes it, else the one message the dialog shows.
const char* CheckCameraName(const std::string& name);

// The question asked when another device answers at the new address.
std::string DuplicateQuestion(const uint8_t hwAddr[6]);

// The subnet mask offered by the first octet of a valid address, or null
// (first octet 0 or 127, or an invalid text).
const char* SubnetDefault(const char* ipText);

}  // namespace address_rules
