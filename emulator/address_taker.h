#pragma once
// With --take-addresses a camera given a new address takes it on this host:
// the address goes onto the link that carried its old one, so its services
// can follow it there, and the old one goes unless another camera holds it.
// Under DHCP it takes the first address of the pool that no other camera holds.

#include "camera.h"
#include "multicast_links.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace camsim {

struct AddressPool {
    Ipv4 first{};
    Ipv4 last{};
};

// "FIRST-LAST", two addresses in order; nothing when it is not that.
std::optional<AddressPool> ParseAddressPool(const std::string& text);

class AddressTaker {
public:
    // cameras is the camera state the services share; `local` the host's
    // address list the responders read, renewed after every change. Both must
    // outlive the taker.
    AddressTaker(std::vector<Camera>& cameras, LocalAddresses& local, std::optional<AddressPool> pool);

    // After camera `camera` was given new settings: moves it to the address
    // they call for. False, told on standard error, when that address could
    // not be added; its services then stay where they are.
    bool Take(std::size_t camera);

private:
    std::optional<Ipv4> Lease(std::size_t camera) const;

    std::vector<Camera>& cameras_;
    LocalAddresses& local_;
    std::optional<AddressPool> pool_;
    std::vector<Ipv4> held_;  // per camera: the address its services are on
};

}  // namespace camsim
