#pragma once
// What a scan has to tell besides its list goes to standard error, one line a
// note, so that the list on standard output keeps its form.
#include <iostream>
#include <string>

#include "scanner.h"

inline void PrintScanNotes(const CScanner& scanner) {
    for (const std::string& note : ScanNotes(scanner.Outcome())) std::cerr << note << '\n';
    std::cerr.flush();
}
