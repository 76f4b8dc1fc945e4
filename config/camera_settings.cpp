#include "camera_settings.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

#include "camera_model.h"
#include "debug_trace.h"
#include "settings_body.h"
#include "url_value.h"
#include "web_client.h"
#include "zorvo.h"

namespace {

// One HTTP GET, as the steps below read it.
struct Fetch {
    int result = 0;
    int openStatus = 0;
    int statusCode = 0;
    std::unique_ptr<char[]> body;
};

Fetch Get(const std::string& url) {
    Fetch fetch;
    CWebClient client;
    fetch.result = client.ReadURL(url.c_str(), fetch.body);
    fetch.openStatus = client.openStatus;
    fetch.statusCode = client.statusCode;
    return fetch;
}

void CopyCut(const std::string& text, char* value, std::size_t size) {
    const std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(value, text.data(), n);
    value[n] = '\0';
}

struct ListTexts {
    const char* oid;
    const char* refused;
    const char* failed;
};

const ListTexts& TextsOf(CCameraSettings::ChoiceList list) {
    static const ListTexts kTimezone{camera_model::kOidTimezone, "Timezone list query failed with authentication error",
                                     "Query for timezones failed with %d\r\nCamera http port may not be 80"};
    static const ListTexts kAnalog{camera_model::kOidAnalogOutput,
                                   "Analog option list query failed with authentication error",
                                   "Query for analog options failed with %d\r\nCamera http port may not be 80"};
    return list == CCameraSettings::ChoiceList::Timezone ? kTimezone : kAnalog;
}

}  // namespace

CCameraSettings::CCameraSettings(char (&lastError)[kLastError], std::string cameraAddr, std::string cameraWebAddr,
                                 Show show, Runner run)
    : lastError(lastError),
      cameraAddr(std::move(cameraAddr)),
      cameraWebAddr(std::move(cameraWebAddr)),
      show(std::move(show)),
      run(std::move(run)) {}

void CCameraSettings::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(lastError, kLastError, format, args);  // a long message is cut at its end
    va_end(args);
    messageWritten = true;
}

void CCameraSettings::Exchange(const std::function<void()>& work) {
    if (run)
        run(work);
    else
        work();
}

bool CCameraSettings::GetCameraOid(const char* oid, char* value, std::size_t size) {
    messageWritten = false;
    if (GetCameraOidUdp(oid, value, size) || GetCameraOidHttp(oid, value, size)) return true;
    // Neither step said why (no UDP service, an empty page): never show an older message.
    if (!messageWritten) Format("Query for %s failed", oid);
    show(lastError, "Error", true);
    return false;
}

bool CCameraSettings::SetCameraOid(const char* oid, const char* value) {
    messageWritten = false;
    if (SetCameraOidUdp(oid, value) || SetCameraOidHttp(oid, value)) return true;
    show(lastError, "Error", true);
    return false;
}

bool CCameraSettings::UdpStep(const std::function<int(CZorvo&)>& operation, const char* failure) {
    int code = 0;
    bool ready = false;
    Exchange([&] {
        CZorvo zorvo(cameraAddr.c_str(), camera_model::kUser, camera_model::kPassword);
        if (zorvo.ErrorCode() != 0) return;  // no UDP service: HTTP says why, if anything fails
        ready = true;
        code = operation(zorvo);
    });
    if (!ready) return false;
    if (code == 0) return true;
    Format(failure, CZorvo::strerror(code));
    return false;
}

bool CCameraSettings::GetCameraOidUdp(const char* oid, char* value, std::size_t size) {
    value[0] = '\0';
    return UdpStep([&](CZorvo& zorvo) { return zorvo.GetOid(oid, value, size); }, "Query failed with %s");
}

bool CCameraSettings::SetCameraOidUdp(const char* oid, const char* value) {
    return UdpStep([&](CZorvo& zorvo) { return zorvo.SetOid(oid, value); }, "Assignment failed with %s");
}

bool CCameraSettings::GetCameraOidHttp(const char* oid, char* value, std::size_t size) {
    value[0] = '\0';
    // The read asks the camera's bare address (port 80) and carries no credentials.
    const std::string url = "http://" + cameraAddr + "/get.oid?" + EncodeUrlValue(oid);
    Fetch fetch;
    Exchange([&] { fetch = Get(url); });
    if (fetch.result != CWebClient::kFetched) {
        if (fetch.openStatus == 401)
            Format("Query for %s failed with %d%s", oid, 401, ": authentication error");
        else
            Format("Query for %s failed with %d%s", oid, fetch.result, "");
        return false;
    }
    if (fetch.statusCode != 200) {
        Format("Query for %s failed withHTTP code %d", oid, fetch.statusCode);
        return false;
    }
    if (!fetch.body) return false;
    if (settings_body::IsRefusal(fetch.body.get())) {
        std::string why;
        if (settings_body::RefusalText(fetch.body.get(), why))
            Format("Query for %s failed with\n%s", oid, why.c_str());
        else
            Format("Query for %s failed", oid);
        return false;
    }
    CopyCut(settings_body::Value(fetch.body.get()), value, size);
    return true;
}

bool CCameraSettings::SetCameraOidHttp(const char* oid, const char* value) {
    const std::string url = std::string("http://") + camera_model::kUrlUserInfo + cameraWebAddr + "/set.oid?OidTB" +
                            EncodeUrlValue(oid) + "=" + EncodeUrlValue(value);
    Fetch fetch;
    Exchange([&] { fetch = Get(url); });
    // Status 200 with a cut body: the camera answered, the bytes that came decide.
    const bool answered = CWebClient::Answered(fetch.result, fetch.statusCode);
    if (fetch.result != CWebClient::kFetched && !answered) {
        Format("Assignment failed with %d", fetch.result);
        return false;
    }
    if (fetch.statusCode != 200) {
        Format("Assignment failed withHTTP code %d", fetch.statusCode);
        return false;
    }
    if (fetch.body && settings_body::IsRefusal(fetch.body.get())) {
        std::string why;
        if (settings_body::RefusalText(fetch.body.get(), why))
            Format("Assignment failed with\n%s", why.c_str());
        else
            Format("Assignment failed");
        return false;
    }
    if (fetch.result != CWebClient::kFetched)
        DebugTrace("SetCameraOidHttp: reply cut after status 200: taken as written");
    return true;
}

bool CCameraSettings::LoadChoices(ChoiceList list, Choices& choices) {
    const ListTexts& texts = TextsOf(list);
    choices = Choices{};
    char value[kChoiceValue];
    if (!GetCameraOid(texts.oid, value, sizeof value)) return false;
    for (char* c = value; *c; ++c)
        if (*c >= 'A' && *c <= 'Z') *c = static_cast<char>(*c - 'A' + 'a');
    choices.currentRead = true;
    choices.current = value;

    const std::string url =
        std::string("http://") + camera_model::kUrlUserInfo + cameraWebAddr + "/DPARSE_$O(" + texts.oid + ",L).cmd";
    Fetch fetch;
    Exchange([&] { fetch = Get(url); });
    if (fetch.result != CWebClient::kFetched) {
        if (fetch.openStatus == 401) {
            show(texts.refused, "Authentication Error", false);
        } else {
            Format(texts.failed, fetch.result);
            show(lastError, "Error", false);
        }
        return false;
    }
    if (fetch.statusCode != 200 || !fetch.body) return false;
    if (!settings_body::ChoiceItems(fetch.body.get(), choices.items)) return false;
    if (list == ChoiceList::Analog && choices.items.empty()) choices.items = {"ntsc", "pal", "disabled"};
    return true;
}
