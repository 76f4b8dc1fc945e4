#pragma once
// The rules of acting on one camera, for the window, its dialogs, vantrel-cli
// and provisioning alike: which record is the camera, what may be assigned to
// it, the duplicate-address probe, and the route before its web page. What
// the cameras themselves are (credentials, OIDs, models) is camera_model.h.
#include <netinet/in.h>

#include <cstdint>
#include <string>
#include <vector>

#include "address_probe.h"
#include "camera_model.h"
#include "camera_record.h"

class CScanner;

namespace camera_actions {

// Twelve hexadecimal digits, bare or in pairs split by ':' or '-' ("02:e5:a1:00:00:01").
bool ParseHwAddr(const std::string& text, uint8_t hwAddr[6]);
// "02:e5:a1:00:00:01" as lists and plans show it; "02-e5-a1-00-00-01" as the
// duplicate-address answers are told.
std::string HwAddrText(const uint8_t hwAddr[6], char separator = ':');

// Which protocol's record a caller asks for; Any takes the broadcast one first.
enum class Via { Any, Drovik, Mdns };

// Index of the record that is the camera with `hwAddr` in the last scan: the
// one `via` names, else the broadcast record (it carries the challenge the
// broadcast assignment needs), else the first; -1 when none is.
int FindCamera(const CScanner& scanner, const uint8_t hwAddr[6], Via via = Via::Any);

// What an assignment gives `record` before sending anything: a broadcast
// assignment names its camera by hardware address only, so a record two
// devices answered as gets kAssignConflictRefused; else kAssignSuccess.
uint8_t AssignRefusal(const CameraRecord& record);

// The address texts' faults, one a line, in the dialog's order and words; empty when all are valid.
std::string AddressFaults(const char* ip, const char* subnet, const char* gateway);

// The texts an assignment sends. With DHCP the camera's own texts go along,
// as the Assign IP dialog's disabled fields hold them.
struct AddressTexts {
    std::string ip, subnet, gateway;
};
AddressTexts AssignmentTexts(const CameraRecord& record, bool dhcp, const AddressTexts& fixed);

// Whether a new address must be probed first: a fixed address other than the camera's own.
bool ProbeDue(const CameraRecord& record, bool dhcp, const std::string& ip);

// The duplicate-address probe of `address` (network order), traced with its
// method, answer and time. Blocks for up to about 3 s.
platform::ProbeAnswer ProbeNewAddress(in_addr address);
// Many new addresses in one round of probes, one wait for all: one answer per
// address, in their order.
std::vector<platform::ProbeAnswer> ProbeNewAddresses(const std::vector<in_addr>& addresses);

// Whether the camera can be written to where it is now: it answered from the
// address its record names, one of the PC's subnets holds that address (it
// is none of the PC's own), and no other device of the scan claims it.
bool ReachableWhereItIs(const CScanner& scanner, const CameraRecord& record);

// A /32 toward a camera heard by multicast DNS, through the link that holds
// the interface address it answered on. Only toward the address the answer
// came from, and only where the PC has no /32 of its own: then nothing is
// added. `purpose` starts the trace line. Returns the link the route was
// added on, 0 when none was.
unsigned AddRouteToCamera(const CameraRecord& record, const char* purpose);

// Before a camera's web page: a link-local camera heard by multicast DNS is
// reached through the interface it answered on, by a route that stays until
// the program ends (the browser uses it). True when a route was tried: the
// caller gives the kernel a moment before the browser.
bool RouteBeforeWebPage(const CameraRecord& record);

// "http://a.b.c.d" or "http://a.b.c.d:port", made from numbers whatever text
// the camera sent; empty when its address is no IPv4 address.
std::string WebPageUrl(const CameraRecord& record);

}  // namespace camera_actions
