#include "route_rules.h"

#include <arpa/inet.h>
#include <linux/rtnetlink.h>

#include <cstdint>

namespace platform {
namespace {

uint32_t Host(in_addr address) { return ntohl(address.s_addr); }

uint32_t Mask(int prefixLength) { return prefixLength <= 0 ? 0 : ~uint32_t{0} << (32 - prefixLength); }

bool Within(in_addr address, uint32_t network, int prefixLength) {
    return (Host(address) & Mask(prefixLength)) == network;
}

std::string Dotted(in_addr address) {
    char text[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

std::string Prefix(const RouteEntry& route) {
    return Dotted(route.destination) + "/" + std::to_string(route.prefixLength);
}

RouteVerdict Refuse(std::string reason) { return {RouteVerdict::Refused, std::move(reason)}; }

bool InMain(const RouteEntry& route) { return route.table == RT_TABLE_MAIN; }

// Routes that send traffic somewhere, or deliberately nowhere (a VPN's kill
// switch): not the local table's own addresses and broadcasts.
bool Leads(const RouteEntry& route) {
    return route.type == RTN_UNICAST || route.type == RTN_BLACKHOLE || route.type == RTN_UNREACHABLE ||
           route.type == RTN_PROHIBIT;
}

bool PrivateOrLinkLocal(in_addr address) {
    return Within(address, 0x0A000000, 8) || Within(address, 0xAC100000, 12) || Within(address, 0xC0A80000, 16) ||
           Within(address, 0xA9FE0000, 16);
}

}  // namespace

in_addr LinkLocalNetwork() { return in_addr{htonl(0xA9FE0000)}; }

RouteVerdict JudgeAddHostRoute(in_addr destination, unsigned linkIndex, const RouteView& view) {
    const std::string text = Dotted(destination);
    if (!view.read) return Refuse("the routing table cannot be read");
    if (!PrivateOrLinkLocal(destination)) return Refuse(text + " is no private or link-local address");
    for (const LinkSubnet& subnet : view.subnets) {
        if (subnet.address.s_addr == destination.s_addr) return Refuse(text + " is an address of this PC");
        const uint32_t mask = Host(subnet.netmask);
        if (subnet.linkIndex != linkIndex && mask != 0 && (Host(destination) & mask) == (Host(subnet.address) & mask))
            return Refuse(text + " lies in the subnet of " + subnet.linkName + " (" + Dotted(subnet.address) + ")");
    }
    // Every table counts here: a VPN's or a policy's routes win over main only by a rule, and a /32 in
    // main would win over them.
    for (const RouteEntry& route : view.routes)
        for (const in_addr gateway : route.gateways)
            if (gateway.s_addr == destination.s_addr)
                return Refuse(text + " is the gateway of the route to " + Prefix(route));
    // Link-local addresses belong to each link: another link's 169.254.0.0/16 leads to other devices.
    if (!Within(destination, 0xA9FE0000, 16)) {
        for (const RouteEntry& route : view.routes)
            if (Leads(route) && route.prefixLength > 0 && route.prefixLength < 32 && route.linkIndex != linkIndex &&
                Within(destination, Host(route.destination), route.prefixLength))
                return Refuse(text + " is routed through " + route.linkName + " by the route to " + Prefix(route));
    }
    for (const RouteEntry& route : view.routes)
        if (InMain(route) && route.prefixLength == 32 && route.destination.s_addr == destination.s_addr)
            return {RouteVerdict::Exists, {}};
    return {RouteVerdict::Allowed, {}};
}

RouteVerdict JudgeAddLinkLocalRoute(unsigned, const RouteView& view) {
    if (!view.read) return Refuse("the routing table cannot be read");
    for (const RouteEntry& route : view.routes)
        if (InMain(route) && route.prefixLength == 16 && route.destination.s_addr == LinkLocalNetwork().s_addr)
            return {RouteVerdict::Exists, {}};
    return {RouteVerdict::Allowed, {}};
}

RouteVerdict JudgeDeleteRoute(in_addr destination, int prefixLength, unsigned linkIndex, const RouteView& view) {
    if (!view.read) return Refuse("the routing table cannot be read");
    bool ours = false, other = false;
    for (const RouteEntry& route : view.routes) {
        if (!InMain(route) || route.prefixLength != prefixLength || route.destination.s_addr != destination.s_addr)
            continue;
        if (route.protocol == kRouteProtocol && route.linkIndex == linkIndex)
            ours = true;
        else if (route.linkIndex == linkIndex)
            other = true;
    }
    if (!ours && other)
        return Refuse("the route to " + Dotted(destination) + "/" + std::to_string(prefixLength) +
                      " was not added by Vantrel");
    return {RouteVerdict::Allowed, {}};
}

}  // namespace platform
