#include "camera_record.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstring>

void CopyTextField(char* field, std::size_t fieldSize, const unsigned char* value, std::size_t length) {
    if (fieldSize == 0) return;
    std::size_t n = 0;
    while (n < length && n + 1 < fieldSize && value[n] != 0) ++n;
    std::memcpy(field, value, n);
    field[n] = '\0';
}

void FormWebAddr(CameraRecord& record) {
    std::snprintf(record.httpPortText, sizeof record.httpPortText, "%d", record.httpPort);
    std::snprintf(record.webAddr, sizeof record.webAddr, "%s:%s", record.ipAddrText, record.httpPortText);
}

bool AnsweredFromOwnAddress(const CameraRecord& record) {
    in_addr named{};
    char text[sizeof record.ipAddrText + 1] = {};
    std::memcpy(text, record.ipAddrText, sizeof record.ipAddrText);
    return inet_pton(AF_INET, text, &named) == 1 && named.s_addr == record.answeredFrom.s_addr;
}
