#include "device/zor/ZorTransactor.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <ctime>
#include <thread>

#include "base/Printf.h"
#include "device/zor/ZorFrame.h"

namespace zm {

namespace {

std::string LocalClockText() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return StrPrintf("%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
}

}  // namespace

bool CZorTransactor::Transact(std::string* transcript, std::string_view title, uint8_t code,
                              std::span<const uint8_t> request, std::vector<uint8_t>& payload) {
    payload.clear();
    if (transcript) {
        *transcript +=
            StrPrintf("\r\n[%s] %s:", LocalClockText().c_str(), std::string(title).c_str());
    }
    if (m_pauseMs > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(m_pauseMs));
    }
    std::vector<uint8_t> response;
    bool exchanged = false;
    if (AcquireChannel(transcript)) {
        exchanged = SendRequest(code, request, transcript) && ReadResponse(response, transcript);
    }
    ReleaseChannel(transcript, false);
    if (!exchanged) {
        return false;
    }
    if (!CheckResponse(response, code, payload, transcript)) {
        return false;
    }
    m_host.NoteTransactionSucceeded();
    return true;
}

bool CZorTransactor::AcquireChannel(std::string* transcript) {
    m_host.EnterLinkLock();
    const ZorTranslate translate = m_host.Translator();
    std::string text = ZorTr(translate, zortext::kConnectionStatus) + " ... ";
    bool result = false;
    IZorLink* link = m_host.CurrentLink();
    bool locked = true;
    if (link) {
        m_namedLockHeld = m_host.AcquireNamedLock(link->GetName(true), kChannelWaitMs);
        if (!m_namedLockHeld) {
            text += ZorTr(translate, zortext::kFailedInUse);
            ++m_channelBusy;
            locked = false;
        }
    }
    if (locked) {
        if (link && link->IsOpen()) {
            text += ZorTr(translate, zortext::kAlreadyExist);
            result = true;
        } else if (m_host.OpenLink()) {
            text += ZorTr(translate, zortext::kSucceeded);
            ++m_linksOpened;
            result = true;
        } else {
            text += ZorTr(translate, zortext::kFailed);
            ++m_openFailures;
        }
    }
    if (transcript) {
        *transcript += StrPrintf("\r\n%s", text.c_str());
    }
    return result;
}

void CZorTransactor::ReleaseChannel(std::string* transcript, bool forceClose) {
    const ZorTranslate translate = m_host.Translator();
    const bool close = forceClose || !m_host.KeepLink();
    if (close) {
        m_host.CloseLink();
    }
    if (transcript) {
        *transcript +=
            StrPrintf("\r\n%s %s", ZorTr(translate, zortext::kConnection).c_str(),
                      ZorTr(translate, close ? zortext::kClosed : zortext::kKept).c_str());
    }
    if (m_namedLockHeld) {
        m_host.ReleaseNamedLock();
        m_namedLockHeld = false;
    }
    m_host.LeaveLinkLock();
}

std::string CZorTransactor::LinkErrorText(IZorLink* link, int& code) {
    std::string text;
    code = 0;
    if (link) {
        link->GetError(&text, &code);
    }
    return text;
}

bool CZorTransactor::SendRequest(uint8_t code, std::span<const uint8_t> request,
                                 std::string* transcript) {
    const ZorTranslate translate = m_host.Translator();
    std::vector<uint8_t> frame = BuildZorRequest(m_host.BusAddress(), code, request);
    IZorLink* link = m_host.CurrentLink();
    int sent = 0;
    bool ok = link && !frame.empty() &&
              link->Write(frame.data(), static_cast<int>(frame.size()), &sent, 0);
    if (!transcript) {
        return ok;
    }
    if (ok) {
        *transcript += StrPrintf("\r\n%d %s", static_cast<int>(frame.size()),
                                 ZorTr(translate, zortext::kBytesSent).c_str());
        *transcript += StrPrintf(": {%s}", FormatByteList(frame, m_host.HexByteLists()).c_str());
    } else {
        int error = 0;
        std::string text = LinkErrorText(link, error);
        *transcript +=
            StrPrintf("\r\n%s(%s: %d)\r\n%s", ZorTr(translate, zortext::kSendCommandFailed).c_str(),
                      ZorTr(translate, zortext::kCode).c_str(), error, text.c_str());
    }
    return ok;
}

int CZorTransactor::NextReadTimeoutMs() const {
    const int failed = m_failedReads;
    if (failed <= 0) {
        return 0;
    }
    return failed <= 3 ? 1000 : 100;
}

int CZorTransactor::ReplyDeadlineMs(int readTimeoutMs, int bytes, int bitsPerSecond) {
    const long long speed = bitsPerSecond > 0 ? bitsPerSecond : kSlowestLineBitsPerSecond;
    const long long wireMs =
        (static_cast<long long>(bytes) * kLineBitsPerByte * 1000 + speed - 1) / speed;
    return static_cast<int>(std::max(readTimeoutMs, 0) + wireMs);
}

CZorTransactor::ReadEnd CZorTransactor::ReadUpTo(IZorLink& link, uint8_t* buffer, int want,
                                                 int& have, int timeoutMs,
                                                 std::chrono::steady_clock::time_point deadline) {
    using namespace std::chrono;
    const int readTimeoutMs = link.ReadTimeoutMs(timeoutMs);
    while (have < want) {
        const auto left = ceil<milliseconds>(deadline - steady_clock::now()).count();
        if (left <= 0) {
            return ReadEnd::kDeadline;
        }
        // The time-out as asked unless the deadline comes first.
        const bool cut = readTimeoutMs > left;
        const int wait = cut ? static_cast<int>(left) : timeoutMs;
        int got = 0;
        if (!link.Read(buffer + have, want - have, &got, wait) || got <= 0) {
            return cut ? ReadEnd::kDeadline : ReadEnd::kSilent;
        }
        have += std::min(got, want - have);
    }
    return ReadEnd::kComplete;
}

bool CZorTransactor::ReadResponse(std::vector<uint8_t>& bytes, std::string* transcript) {
    const ZorTranslate translate = m_host.Translator();
    std::array<uint8_t, kZorBufferSize> buffer{};
    const int timeoutMs = NextReadTimeoutMs();
    IZorLink* link = m_host.CurrentLink();
    // One deadline for the whole reply, from the moment its read begins.
    const auto start = std::chrono::steady_clock::now();
    auto deadlineFor = [&](size_t total) {
        return start + std::chrono::milliseconds(ReplyDeadlineMs(link->ReadTimeoutMs(timeoutMs),
                                                                 static_cast<int>(total),
                                                                 link->LineBitsPerSecond()));
    };
    int have = 0;
    ReadEnd end = ReadEnd::kSilent;
    if (link) {
        end = ReadUpTo(*link, buffer.data(), static_cast<int>(kZorFrameOverhead), have, timeoutMs,
                       deadlineFor(kZorFrameOverhead));
    }
    if (have == 0) {
        end = ReadEnd::kSilent;
        if (++m_failedReads > 60) {
            m_failedReads = 0;
        }
    }
    if (end == ReadEnd::kComplete) {
        ZorResponseHead head = ClassifyResponseHead(std::span(buffer).first(kZorFrameOverhead));
        if (head.kind == ZorResponseHead::kInvalid) {
            // Never valid: drop whatever else the medium holds so the next exchange starts
            // clean. The check below fails and writes the frame into the transcript.
            link->Purge();
        } else if (head.total > kZorFrameOverhead) {
            // total is at most 7 + 512, well inside the buffer.
            end = ReadUpTo(*link, buffer.data(), static_cast<int>(head.total), have, timeoutMs,
                           deadlineFor(head.total));
        }
    }
    if (end == ReadEnd::kDeadline) {
        // Short at the deadline though bytes kept coming: what came is listed and fails the
        // check, and the rest of it must not reach the next exchange.
        link->Purge();
    }
    const bool ok = end != ReadEnd::kSilent;
    bytes.assign(buffer.begin(), buffer.begin() + have);
    if (!transcript) {
        return ok;
    }
    if (ok) {
        *transcript +=
            StrPrintf("\r\n%d %s", have, ZorTr(translate, zortext::kBytesReceived).c_str());
        *transcript += StrPrintf(": {%s}", FormatByteList(bytes, m_host.HexByteLists()).c_str());
    } else {
        int error = 0;
        std::string text = LinkErrorText(link, error);
        *transcript += StrPrintf("\r\n%s (%s: %d)\r\n%s",
                                 ZorTr(translate, zortext::kGetResponseFailed).c_str(), "code",
                                 error, text.c_str());
    }
    return ok;
}

bool CZorTransactor::CheckResponse(std::span<const uint8_t> bytes, uint8_t code,
                                   std::vector<uint8_t>& payload, std::string* transcript) {
    return CheckZorResponse(bytes, code, payload, transcript, m_host.Translator());
}

}  // namespace zm
