#!/bin/sh
# Builds private LANs out of network namespaces for the integration tests.
#   testlan.sh lan   PREFIX LAN                    namespace PREFIX$LAN holding bridge br0
#   testlan.sh host  PREFIX HOST LAN IFNAME [ADDR/LEN ...]
#                                                  namespace PREFIX$HOST (made once) with a veth IFNAME
#                                                  on LAN's bridge, up, carrying the addresses given
#   testlan.sh route PREFIX HOST ARGS...           ip route ARGS... inside PREFIX$HOST
#   testlan.sh down  PREFIX                        removes every namespace whose name starts with PREFIX
#   testlan.sh sweep                               removes namespaces left by test processes that died
#   testlan.sh avahi NAMESPACE DIR                 runs avahi-daemon in NAMESPACE with DIR/avahi-daemon.conf
#                                                  and DIR/services, in a mount namespace of its own (no D-Bus)
# Namespace names are PREFIX plus a short name; PREFIX is "vt<pid>x<n>-".
set -eu

ns_exists() { ip netns list | awk '{print $1}' | grep -qx "$1"; }

cmd=$1; shift
case "$cmd" in
lan)
    ns="$1$2"
    ip netns add "$ns"
    ip -n "$ns" link set lo up
    ip -n "$ns" link add br0 type bridge
    # Forward at once: no listening/learning delay before the first broadcast.
    ip -n "$ns" link set br0 type bridge forward_delay 0 stp_state 0
    ip -n "$ns" link set br0 up
    ;;
host)
    prefix=$1 host=$2 lan=$3 ifname=$4; shift 4
    ns="$prefix$host"; lanns="$prefix$lan"
    if ! ns_exists "$ns"; then
        ip netns add "$ns"
        ip -n "$ns" link set lo up
    fi
    port="p$(ip -n "$lanns" -o link show | wc -l)"
    ip link add "$ifname" netns "$ns" type veth peer name "$port" netns "$lanns"
    ip -n "$lanns" link set "$port" master br0
    ip -n "$lanns" link set "$port" up
    for addr in "$@"; do ip -n "$ns" addr add "$addr" dev "$ifname"; done
    ip -n "$ns" link set "$ifname" up
    ;;
route)
    ns="$1$2"; shift 2
    ip -n "$ns" route "$@"
    ;;
down)
    for ns in $(ip netns list | awk '{print $1}'); do
        case "$ns" in "$1"*) ip netns pids "$ns" 2>/dev/null | xargs -r kill -KILL 2>/dev/null || true
                             ip netns del "$ns" ;; esac
    done
    ;;
sweep)
    for ns in $(ip netns list | awk '{print $1}'); do
        case "$ns" in
        vt[0-9]*x[0-9]*-*)
            pid=${ns#vt}; pid=${pid%%x*}
            if ! kill -0 "$pid" 2>/dev/null; then
                ip netns pids "$ns" 2>/dev/null | xargs -r kill -KILL 2>/dev/null || true
                ip netns del "$ns"
            fi ;;
        esac
    done
    ;;
avahi)
    ns=$1 dir=$2
    exec ip netns exec "$ns" unshare -m --propagation private sh -c '
        mount -t tmpfs tmpfs /run && mkdir /run/avahi-daemon &&
        mount --bind "$1/services" /etc/avahi/services &&
        exec avahi-daemon -f "$1/avahi-daemon.conf" --no-drop-root --no-chroot --no-rlimits --debug 2>&1' avahi "$dir"
    ;;
*)
    echo "testlan.sh: unknown command $cmd" >&2; exit 2 ;;
esac
