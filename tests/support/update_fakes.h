// Fakes for the update tests: a scripted HTTP exchange, files and programs in memory,
// and an update window that records what it was told.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "update/update_service.h"
#include "platform/text.h"
#include "update/update_ports.h"

namespace snapdeck::testing {

// What one scripted server answer looks like and what the fetch asked of it.
struct HttpScript {
  bool openOk = true, connectOk = true, requestOk = true, sendOk = true;
  std::u16string status = u"200";
  std::u16string contentLength;  // "" when the header is missing
  std::vector<std::uint8_t> body;
  std::size_t maxPerRead = 1 << 20;  // the server delivers at most this much per read
  int failAtRead = -1;               // this read (0-based) fails
  bool stall = false;                // reads wait until the fetch is aborted

  // Filled in by the fetch.
  std::u16string host, path, userName, password;
  int port = -2;
  bool secure = false;
  std::vector<std::size_t> readSizes;
  bool closed = false;
  bool aborted = false;
};

class ScriptedTransport final : public HttpTransport {
 public:
  explicit ScriptedTransport(HttpScript& s) : s_(s) {}
  ~ScriptedTransport() override { s_.closed = true; }
  bool open() override { return s_.openOk; }
  bool connect(const std::u16string& host, int port, const std::u16string& user,
               const std::u16string& password) override {
    s_.host = host;
    s_.port = port;
    s_.userName = user;
    s_.password = password;
    return s_.connectOk;
  }
  bool openRequest(const std::u16string& path, const std::u16string&, bool secure) override {
    s_.path = path;
    s_.secure = secure;
    return s_.requestOk;
  }
  bool send() override { return s_.sendOk; }
  std::u16string statusCode() override { return s_.status; }
  std::u16string contentLength() override { return s_.contentLength; }
  bool read(std::uint8_t* buffer, std::size_t size, std::size_t& got) override {
    if (s_.stall) {
      std::unique_lock<std::mutex> lock(mutex_);
      abortSeen_.wait(lock, [&] { return aborted_; });
      return false;
    }
    if (static_cast<int>(s_.readSizes.size()) == s_.failAtRead) return false;
    s_.readSizes.push_back(size);
    got = std::min({size, s_.maxPerRead, s_.body.size() - offset_});
    std::copy_n(s_.body.begin() + static_cast<std::ptrdiff_t>(offset_), got, buffer);
    offset_ += got;
    return true;
  }
  void abort() override {
    std::lock_guard<std::mutex> lock(mutex_);
    aborted_ = true;
    s_.aborted = true;
    abortSeen_.notify_all();
  }

 private:
  HttpScript& s_;
  std::size_t offset_ = 0;
  std::mutex mutex_;
  std::condition_variable abortSeen_;
  bool aborted_ = false;
};

// A 200 answer carrying these bytes with a matching Content-Length.
inline HttpScript Answer(std::vector<std::uint8_t> body) {
  HttpScript s;
  s.contentLength = AsciiToUtf16(std::to_string(body.size()));
  s.body = std::move(body);
  return s;
}

inline HttpScript StatusAnswer(const std::u16string& status) {
  HttpScript s;
  s.status = status;
  return s;
}

// UTF-16LE bytes of a text, as the update document is published.
inline std::vector<std::uint8_t> Utf16Le(std::u16string_view text) {
  std::vector<std::uint8_t> out;
  for (char16_t c : text) {
    out.push_back(static_cast<std::uint8_t>(c & 0xFF));
    out.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return out;
}

// The smallest header that passes the program-file check, with room for a payload.
inline std::vector<std::uint8_t> X64Program(std::size_t size = 512,
                                            std::uint16_t machine = 0x8664) {
  std::vector<std::uint8_t> b(size, 0x90);
  b[0] = 'M';
  b[1] = 'Z';
  b[0x3C] = 0x80;
  b[0x3D] = b[0x3E] = b[0x3F] = 0;
  b[0x80] = 'P';
  b[0x81] = 'E';
  b[0x82] = b[0x83] = 0;
  b[0x84] = static_cast<std::uint8_t>(machine & 0xFF);
  b[0x85] = static_cast<std::uint8_t>(machine >> 8);
  b[0x96] = 0x22;  // executable image, large-address aware
  b[0x97] = 0x00;
  return b;
}

// Stands in for SHA-256: any change of the bytes changes it.
inline Sha256Digest StandInDigest(const std::uint8_t* bytes, std::size_t size) {
  Sha256Digest d{};
  std::uint64_t h = 1469598103934665603ull ^ size;
  for (std::size_t i = 0; i < size + 32; ++i) {
    h = (h ^ (i < size ? bytes[i] : 0)) * 1099511628211ull;
    d[i % 32] = static_cast<std::uint8_t>(d[i % 32] ^ (h >> 56));
  }
  return d;
}

inline std::u16string HexOf(const Sha256Digest& digest) {
  std::u16string out;
  for (std::uint8_t b : digest) {
    out += u"0123456789abcdef"[b >> 4];
    out += u"0123456789abcdef"[b & 15];
  }
  return out;
}

// The fake system's signature: r is the digest mixed with the key's first half,
// s the key's second half; so it verifies only with that key over that digest.
inline EcSignature FakeSignature(const EcPublicKey& key, const Sha256Digest& digest) {
  EcSignature rs{};
  for (std::size_t i = 0; i < 32; ++i) {
    rs[i] = digest[i] ^ key[i];
    rs[32 + i] = key[32 + i];
  }
  return rs;
}

inline EcPublicKey FakeKey(std::uint8_t seed) {
  EcPublicKey key{};
  for (std::size_t i = 0; i < key.size(); ++i) key[i] = static_cast<std::uint8_t>(seed + 7 * i);
  return key;
}

// Base64 of the DER form of r || s, as `openssl dgst -sign` would give it.
inline std::u16string DerBase64(const EcSignature& rs) {
  std::vector<std::uint8_t> der = {0x30, 0};
  for (int half = 0; half < 2; ++half) {
    std::size_t skip = 0;
    while (skip < 31 && rs[half * 32 + skip] == 0) ++skip;
    const bool pad = rs[half * 32 + skip] & 0x80;
    der.push_back(0x02);
    der.push_back(static_cast<std::uint8_t>(32 - skip + (pad ? 1 : 0)));
    if (pad) der.push_back(0);
    der.insert(der.end(), rs.begin() + half * 32 + skip, rs.begin() + half * 32 + 32);
  }
  der[1] = static_cast<std::uint8_t>(der.size() - 2);
  const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::u16string out;
  for (std::size_t i = 0; i < der.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, der.size() - i);
    std::uint32_t bits = der[i] << 16;
    if (n > 1) bits |= der[i + 1] << 8;
    if (n > 2) bits |= der[i + 2];
    for (std::size_t k = 0; k < 4; ++k) {
      out += k <= n ? static_cast<char16_t>(alphabet[(bits >> (18 - 6 * k)) & 63]) : u'=';
    }
  }
  return out;
}

// Field 5 for "name|version|sha256" signed with the key, under the fake digest.
inline std::u16string FakeSign(const EcPublicKey& key, const std::u16string& name,
                               const std::u16string& version, const std::u16string& sha256) {
  const std::string text = Utf16ToUtf8(name + u"|" + version + u"|" + sha256);
  return DerBase64(
      FakeSignature(key, StandInDigest(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())));
}

inline Sha256Digest StandInDigest(const std::vector<std::uint8_t>& bytes) {
  return StandInDigest(bytes.data(), bytes.size());
}

class FakeUpdateSystem final : public UpdateSystem {
 public:
  // A file held by the program: the other fake calls treat it as another
  // process would find it.
  class Held final : public HeldFile {
   public:
    Held(FakeUpdateSystem& system, std::u16string path) : system_(system), path_(std::move(path)) {
      system_.held.insert(path_);
    }
    ~Held() override { system_.held.erase(path_); }
    std::optional<Sha256Digest> sha256() override {
      return StandInDigest(system_.files.at(path_));
    }
    bool renameTo(const std::u16string& to) override {
      if (!system_.rename(path_, to)) return false;
      system_.held.erase(path_);
      path_ = to;
      system_.held.insert(path_);
      return true;
    }

   private:
    FakeUpdateSystem& system_;
    std::u16string path_;
  };

  std::unique_ptr<HttpTransport> transport() override {
    if (answers.empty()) answers.push_back(StatusAnswer(u""));
    used.push_back(std::move(answers.front()));
    answers.pop_front();
    return std::make_unique<ScriptedTransport>(used.back());
  }
  std::u16string modulePath() override { return exePath; }
  std::int64_t fileSize(const std::u16string& path) override {
    auto it = files.find(path);
    return it == files.end() ? -1 : static_cast<std::int64_t>(it->second.size());
  }
  bool openReadWrite(const std::u16string& path) override {
    ++openAttempts;
    if (heldFor.count(path) && heldFor[path]-- > 0) return false;
    files.try_emplace(path);
    return true;
  }
  bool writeFile(const std::u16string& path, const std::vector<std::uint8_t>& bytes) override {
    if (readOnly || held.count(path)) return false;
    files[path] = bytes;
    return true;
  }
  bool copyFile(const std::u16string& from, const std::u16string& to) override {
    auto it = files.find(from);
    if (readOnly || it == files.end()) return false;
    files[to] = it->second;
    return true;
  }
  bool moveFile(const std::u16string& from, const std::u16string& to) override {
    return !held.count(from) && rename(from, to);
  }
  bool deleteFile(const std::u16string& path) override {
    return !held.count(path) && files.erase(path) > 0;
  }
  std::unique_ptr<HeldFile> holdFile(const std::u16string& path) override {
    if (!files.count(path) || held.count(path)) return nullptr;
    if (holdRefusals > 0) {
      --holdRefusals;
      return nullptr;
    }
    return std::make_unique<Held>(*this, path);
  }
  bool startProgram(const std::u16string& path, const std::u16string& parameter,
                    const std::u16string& dir) override {
    started.push_back(path + u" " + parameter + u" in " + dir);
    return files.count(path) > 0 && !unstartable.count(files[path]);
  }
  std::optional<Sha256Digest> sha256(const std::uint8_t* bytes, std::size_t size) override {
    if (noSha256) return std::nullopt;
    return digest ? *digest : StandInDigest(bytes, size);
  }

  // Every rename goes through here; the folder after each one is kept, as a
  // machine that stops there would leave it.
  bool rename(const std::u16string& from, const std::u16string& to) {
    auto it = files.find(from);
    if (it == files.end() || files.count(to) || held.count(to) || unmovable.count(from)) {
      return false;
    }
    if (renamesBeforeFailing == 0) return false;
    if (auto busy = renameFailures.find(from); busy != renameFailures.end() && busy->second > 0) {
      --busy->second;
      return false;
    }
    files[to] = std::move(it->second);
    files.erase(from);
    afterRenames.push_back(files);
    if (renamesBeforeFailing > 0) --renamesBeforeFailing;
    return true;
  }
  bool verifySignature(const EcPublicKey& key, const Sha256Digest& d,
                       const EcSignature& signature) override {
    return signature == FakeSignature(key, d);
  }
  void sleepMs(int ms) override { slept += ms; }
  void messageBubble(const std::u16string& caption, const std::u16string& text,
                     Rgb theme) override {
    bubbles.push_back({caption, text, theme});
  }

  struct Bubble {
    std::u16string caption, text;
    Rgb theme;
  };
  std::deque<HttpScript> answers;
  std::deque<HttpScript> used;
  std::u16string exePath = u"C:\\apps\\Snapdeck.exe";
  std::map<std::u16string, std::vector<std::uint8_t>> files;
  std::map<std::u16string, int> heldFor;  // openReadWrite fails this many more times
  std::set<std::u16string> unmovable;
  std::map<std::u16string, int> renameFailures;  // renames from there fail this many more times
  int renamesBeforeFailing = -1;                 // then every rename fails; -1: never
  std::set<std::u16string> held;
  int holdRefusals = 0;  // holdFile fails this many more times (a scanner has the file)
  std::set<std::vector<std::uint8_t>> unstartable;  // programs with these bytes do not start
  std::vector<std::map<std::u16string, std::vector<std::uint8_t>>> afterRenames;
  bool readOnly = false;
  bool noSha256 = false;
  std::optional<Sha256Digest> digest;  // when set, the digest of any bytes
  std::vector<std::u16string> started;
  std::vector<Bubble> bubbles;
  int openAttempts = 0;
  long long slept = 0;
};

class FakeUpdateWindow final : public UpdateWindowPort {
 public:
  void setStatus(const std::u16string& text) override { statuses.push_back(text); }
  void discardEvents() override { ++discards; }
  bool askLogin(const std::u16string& host) override {
    ++logins;
    loginHosts.push_back(host);
    if (login != nullptr) shownCredentials.push_back(login->userName + u":" + login->password);
    if (loginAnswers.empty()) return false;
    const auto [user, password] = loginAnswers.front();
    loginAnswers.pop_front();
    if (login != nullptr) {
      login->userName = user;
      login->password = password;
    }
    return true;
  }
  void playErrorSound() override { ++errorSounds; }
  void drawProgress(int maximum, int value) override { progress.emplace_back(maximum, value); }
  std::uint64_t nowMs() override { return clock; }
  // The fake clock moves only when the test lets it run, so a slow worker never
  // meets the deadline; the real pause just lets the worker go on.
  bool waitDuringFetch(int ms) override {
    if (clockRuns) {
      clock += static_cast<std::uint64_t>(ms);
      std::this_thread::yield();
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ++fetchWaits;
    return cancelAfterWaits >= 0 && fetchWaits > cancelAfterWaits;
  }

  std::uint64_t clock = 1000;
  bool clockRuns = false;
  int cancelAfterWaits = -1;  // Cancel is pressed after this many waits
  int fetchWaits = 0;
  std::vector<std::u16string> loginHosts;
  std::vector<std::u16string> shownCredentials;  // what each bubble was filled with
  LoginState* login = nullptr;
  std::deque<std::pair<std::u16string, std::u16string>> loginAnswers;  // confirmed answers
  std::vector<std::u16string> statuses;
  std::vector<std::pair<int, int>> progress;
  int discards = 0, logins = 0, errorSounds = 0;
};

}  // namespace snapdeck::testing
