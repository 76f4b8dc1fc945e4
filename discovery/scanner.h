#pragma once
// The scanner owns the camera table: it runs the discoveries on a worker
// thread, keeps their records in one table and sorts it for display.
#include <cstdint>
#include <memory>

#include "camera_record.h"

class CDrovik;

class CScanner {
public:
    static constexpr int kCapacity = 500;  // the limit of the whole camera list

    CScanner();
    ~CScanner();
    CScanner(const CScanner&) = delete;
    CScanner& operator=(const CScanner&) = delete;

    // Runs the discoveries; returns when all are done. Does not sort.
    void Scan();
    // Sorts the first `count` records ascending by the key of `sortMode`.
    void Sort();
    int Count() const { return count; }
    // Index 0 to count - 1.
    const CameraRecord& RecordAt(int index) const { return table[index]; }

    // Text of an assignment result code.
    static const char* ResultText(uint8_t code);

    // 0 name, 1 product name, 2 hardware address text, 3 IP address.
    uint8_t sortMode = 3;

protected:
    // For tests and tools that fill the table without a network.
    CameraRecord* Table() { return table.get(); }
    void SetCount(int n) { count = n; }

private:
    void ScanWork();

    std::unique_ptr<CDrovik> drovik;
    int count = 0;
    std::unique_ptr<CameraRecord[]> table;
};

// Orders of the four sort modes; negative, zero or positive like strcmp.
int CompareRecords(const CameraRecord& a, const CameraRecord& b, uint8_t sortMode);
