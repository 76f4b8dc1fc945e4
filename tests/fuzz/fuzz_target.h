#pragma once
// The fuzz targets. Each feeds one input to a parser of untrusted bytes,
// checks what it produced and returns how much it produced (records, items,
// accepted replies). fuzz_main.cpp makes a libFuzzer harness of each; the
// corpus replay unit test runs every committed input through the same code.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "camera_record.h"

// A failed check: the harness aborts, the replay test reports and goes on.
void FuzzCheckFailed(const char* check, const char* file, int line);
#define FUZZ_CHECK(condition) ((condition) ? (void)0 : FuzzCheckFailed(#condition, __FILE__, __LINE__))

int DrovikReplyTarget(const uint8_t* data, std::size_t size);
int DrovikCollectionTarget(const uint8_t* data, std::size_t size);
int MdnsAnswerTarget(const uint8_t* data, std::size_t size);
int ZorvoReplyTarget(const uint8_t* data, std::size_t size);
int SettingsBodyTarget(const uint8_t* data, std::size_t size);
int UrlValueTarget(const uint8_t* data, std::size_t size);
int PlanTarget(const uint8_t* data, std::size_t size);

inline bool Terminated(const char* field, std::size_t size) { return std::memchr(field, 0, size) != nullptr; }

// What holds for every record wherever it is made: texts end within their
// fields and webAddr is formed from the record's own address and port texts.
inline void CheckRecord(const CameraRecord& r) {
    FUZZ_CHECK(Terminated(r.name, sizeof r.name) && Terminated(r.hwAddrText, sizeof r.hwAddrText) &&
               Terminated(r.ipAddrText, sizeof r.ipAddrText) && Terminated(r.subnetText, sizeof r.subnetText) &&
               Terminated(r.gatewayText, sizeof r.gatewayText) && Terminated(r.productName, sizeof r.productName) &&
               Terminated(r.httpPortText, sizeof r.httpPortText) && Terminated(r.webAddr, sizeof r.webAddr));
    const std::size_t ip = std::strlen(r.ipAddrText), port = std::strlen(r.httpPortText);
    FUZZ_CHECK(std::strlen(r.webAddr) == ip + 1 + port && std::memcmp(r.webAddr, r.ipAddrText, ip) == 0 &&
               r.webAddr[ip] == ':' && std::strcmp(r.webAddr + ip + 1, r.httpPortText) == 0);
}
