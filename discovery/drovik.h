#pragma once
// Client of the maker's broadcast protocol: two UDP sockets, the flush step
// and the discovery exchange. The sockets are open only while an exchange
// runs: a program that idles on the reply port would take other programs'
// unicast replies.
#include <netinet/in.h>

#include <cstddef>
#include <cstdint>

#include "camera_record.h"
#include "record_sink.h"
#include "scan_outcome.h"
#include "deadline_wait.h"
#include "owned_fd.h"

class CDrovik {
public:
    CDrovik() = default;
    ~CDrovik();
    CDrovik(const CDrovik&) = delete;
    CDrovik& operator=(const CDrovik&) = delete;

    // Writes the records of the maker's cameras that answer from `table`
    // onward; returns their number, 0 to kCameraLimit. The caller holds the
    // PC's turn on the reply port. `accepted` is told of each record as its
    // reply comes in; `outcome` learns of a port that could not be bound and
    // of the cameras that answered past the limit.
    int Discover(CameraRecord* table, const RecordSink& accepted = {}, ScanOutcome* outcome = nullptr);

    // Sends new IP settings to the camera of `record` (its hwAddr and nonce)
    // and returns an AssignResult, kAssignSuccess to kAssignReceiveError. `dhcp`
    // nonzero ignores the three texts; `reboot` 1 restarts the camera. The
    // caller holds the PC's turn on the reply port. Defined in config/.
    uint8_t Assign(const CameraRecord& record, const char* ipAddr, const char* subnet, const char* gateway,
                   uint8_t dhcp, uint8_t reboot);

    // Sets up both sockets; on failure neither is open and false is returned,
    // with the port and errno of the failed step in setupPort and setupErrno.
    bool Open();
    void Close();

    // The sockets of one exchange: open for the object's life.
    class Exchange {
    public:
        explicit Exchange(CDrovik& drovik) : drovik_(drovik), open_(drovik.Open()) {}
        ~Exchange() { drovik_.Close(); }
        Exchange(const Exchange&) = delete;
        Exchange& operator=(const Exchange&) = delete;
        bool Open() const { return open_; }

    private:
        CDrovik& drovik_;
        bool open_;
    };

    // Reads and drops the replies still coming in from an earlier request:
    // ends 0.5 s after the last camera's reply (other datagrams do not count), 1 s at most.
    void Flush();

private:
    platform::OwnedFd sendSocket;  // bound to 43282, sends every request
    platform::OwnedFd recvSocket;  // bound to 43283, receives every reply
    sockaddr_in destAddr{};        // 255.255.255.255:43282 once set up
    sockaddr_in recvAddr{};        // sender of the last datagram read
    uint16_t setupPort = 0;        // of the last failed Open
    int setupErrno = 0;

    // Sends `request` out of every link that can broadcast; returns how many took it.
    int SendToEveryLink(const uint8_t* request, std::size_t length);
    // Waits until `deadline` for one datagram; its length, or -1 when none came.
    long ReadDatagram(uint8_t* buffer, std::size_t capacity, platform::WaitClock::time_point deadline);
};
