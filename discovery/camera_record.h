#pragma once
// One discovered camera: a plain fixed-size record whose texts are
// NUL-terminated within their fields.
#include <netinet/in.h>

#include <cstddef>
#include <cstdint>

// The most cameras one scan lists. Tables are sized for it but only the part a
// site fills is ever touched, so a small site costs no more than before.
inline constexpr int kCameraLimit = 5000;

struct CameraRecord {
    char name[50];
    char hwAddrText[50];      // "02:e5:a1:00:00:01"
    unsigned char hwAddr[6];  // wire order; the first three bytes are the OUI
    char ipAddrText[24];      // "0.0.0.0" when the camera has no address yet
    char subnetText[24];
    char gatewayText[24];
    char productName[16];
    int32_t productCode;
    unsigned char nonce[16];  // the camera's discovery challenge
    unsigned char dhcp;       // nonzero: the camera uses DHCP
    uint32_t ipAddr;          // network byte order, same address as ipAddrText
    unsigned char foundByDrovik;
    int32_t httpPort;
    char httpPortText[10];
    char webAddr[34];        // "ipAddrText:httpPortText"
    sockaddr_in ifaceAddr;   // local interface an mDNS answer came in on
    in_addr answeredFrom;    // sender of the discovery reply or mDNS answer
    unsigned char conflict;  // nonzero: another device answered the broadcast with this hwAddr
};

// An mDNS record whose answer came from the address it names: only such a
// camera gets a route toward it, so that no device can point the PC's routes
// at a third address.
bool AnsweredFromOwnAddress(const CameraRecord& record);

// Copies a text value of `length` bytes up to its first NUL, cut to fit `field`
// with a terminating NUL.
void CopyTextField(char* field, std::size_t fieldSize, const unsigned char* value, std::size_t length);

// Fills httpPortText and webAddr from ipAddrText and httpPort.
void FormWebAddr(CameraRecord& record);
