#pragma once
// One camera's settings named by OIDs, for both front ends: a read or write
// goes over the authenticated UDP protocol first and over HTTP when that
// fails; the timezone and analog output choice lists come over HTTP. Every
// failure is formatted into the caller's `lastError` and handed to `show`,
// which the window makes a message box and the command-line tool a line on
// standard error.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

class CZorvo;

class CCameraSettings {
public:
    // A message for the user: its text, the box's caption, whether it carries the error icon.
    using Show = std::function<void(const char* text, const char* caption, bool errorIcon)>;
    // Runs one blocking exchange; the window keeps painting meanwhile. Empty: run it here.
    using Runner = std::function<void(const std::function<void()>&)>;

    static constexpr std::size_t kLastError = 100;
    static constexpr std::size_t kChoiceValue = 32;  // the current timezone or analog output

    // `cameraAddr`: the camera's address (UDP and the HTTP read, port 80);
    // `cameraWebAddr`: address:port of its web server (HTTP writes and lists).
    CCameraSettings(char (&lastError)[kLastError], std::string cameraAddr, std::string cameraWebAddr, Show show,
                    Runner run = {});

    // True when the value was read (cut to `size` bytes with its NUL); false after a message.
    bool GetCameraOid(const char* oid, char* value, std::size_t size);
    // True when the camera took the value; false after a message.
    bool SetCameraOid(const char* oid, const char* value);

    bool GetCameraOidUdp(const char* oid, char* value, std::size_t size);
    bool SetCameraOidUdp(const char* oid, const char* value);
    bool GetCameraOidHttp(const char* oid, char* value, std::size_t size);
    bool SetCameraOidHttp(const char* oid, const char* value);

    enum class ChoiceList { Timezone, Analog };
    struct Choices {
        bool currentRead = false;
        std::string current;  // in lower case, as the Edit dialog shows it
        std::vector<std::string> items;
    };
    // The current value and the choices the camera offers: true when both
    // were read. The current value stands in `choices` whenever it was read.
    bool LoadChoices(ChoiceList list, Choices& choices);

private:
    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // One UDP exchange: false without a word when the camera has no UDP
    // service, false with `failure` (a %s for the error text) when it failed.
    bool UdpStep(const std::function<int(CZorvo&)>& operation, const char* failure);
    void Exchange(const std::function<void()>& work);

    char (&lastError)[kLastError];
    std::string cameraAddr;
    std::string cameraWebAddr;
    Show show;
    Runner run;
    bool messageWritten = false;  // a step formatted its failure into lastError
};
