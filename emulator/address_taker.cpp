#include "address_taker.h"

#include "camera_config.h"
#include "event_loop.h"
#include "link_address.h"

#include <arpa/inet.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace camsim {
namespace {

std::uint32_t Number(const Ipv4& a) {
    return std::uint32_t{a[0]} << 24 | std::uint32_t{a[1]} << 16 | std::uint32_t{a[2]} << 8 | a[3];
}

Ipv4 FromNumber(std::uint32_t n) {
    return {static_cast<std::uint8_t>(n >> 24), static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 8),
            static_cast<std::uint8_t>(n)};
}

// A mask that is no run of ones (0.0.0.0 included) gives a host address of its own.
int PrefixLength(const Ipv4& mask) {
    const std::uint32_t m = Number(mask);
    const int ones = std::countl_one(m);
    const std::uint32_t rest = ones == 32 ? 0 : m << ones;
    return ones > 0 && rest == 0 ? ones : 32;
}

}  // namespace

std::optional<AddressPool> ParseAddressPool(const std::string& text) {
    const std::size_t dash = text.find('-');
    AddressPool pool;
    if (dash == std::string::npos || !ParseIpv4(text.substr(0, dash), pool.first) ||
        !ParseIpv4(text.substr(dash + 1), pool.last) || Number(pool.first) > Number(pool.last)) {
        return std::nullopt;
    }
    return pool;
}

AddressTaker::AddressTaker(std::vector<Camera>& cameras, LocalAddresses& local, std::optional<AddressPool> pool)
    : cameras_(cameras), local_(local), pool_(pool) {
    for (const Camera& cam : cameras) held_.push_back(cam.ip);
}

std::optional<Ipv4> AddressTaker::Lease(std::size_t camera) const {
    for (std::uint32_t n = Number(pool_->first);; ++n) {
        const Ipv4 a = FromNumber(n);
        bool taken = false;
        for (std::size_t i = 0; i < cameras_.size(); ++i) taken = taken || (i != camera && cameras_[i].ip == a);
        if (!taken) return a;
        if (n == Number(pool_->last)) return std::nullopt;
    }
}

bool AddressTaker::Take(std::size_t camera) {
    Camera& cam = cameras_[camera];
    const char* name = cam.name.c_str();
    if (cam.dhcp && pool_) {
        const std::optional<Ipv4> lease = Lease(camera);
        if (lease) cam.ip = *lease;
        if (!lease) Complain(0, "cameras[%zu] (%s): no address of the DHCP pool is free", camera, name);
    }
    const Ipv4 old = held_[camera];
    if (cam.ip == old || cam.ip == Ipv4{}) return true;
    // Whatever a PC sends: no loopback, "this network" or multicast address goes onto the link.
    if (cam.ip[0] == 0 || cam.ip[0] == 127 || cam.ip[0] >= 224) {
        Complain(0, "cameras[%zu] (%s): %s is no unicast address to take", camera, name, Dotted(cam.ip).c_str());
        return false;
    }

    // The link of the old address; a camera that had none takes the first link.
    in_addr oldAddress{};
    std::memcpy(&oldAddress.s_addr, old.data(), old.size());
    unsigned link = platform::LinkOfAddress(oldAddress);
    const std::vector<unsigned> links = MulticastLinks(local_);
    if (link == 0 && !links.empty()) link = links.front();
    const int added = AddLinkAddress(link, cam.ip, PrefixLength(cam.subnet));
    if (added != 0 && added != EEXIST) {
        Complain(0, "cameras[%zu] (%s): cannot take %s: %s", camera, name, Dotted(cam.ip).c_str(),
                 std::strerror(added));
        return false;
    }
    held_[camera] = cam.ip;
    Say("take " + HexText(cam.hwAddr, ":") + " ip=" + Dotted(cam.ip));

    if (old != Ipv4{} && std::find(held_.begin(), held_.end(), old) == held_.end()) {
        // The other cameras' addresses in its subnet must stay when the old one goes.
        int removed = KeepSecondaries(link);
        if (removed == 0) removed = RemoveLinkAddress(link, old);
        if (removed != 0 && removed != EADDRNOTAVAIL) {
            Complain(0, "cameras[%zu] (%s): %s stays on this host: %s", camera, name, Dotted(old).c_str(),
                     std::strerror(removed));
        }
    }
    if (auto fresh = ListLocalAddresses()) local_ = std::move(*fresh);
    return true;
}

}  // namespace camsim
