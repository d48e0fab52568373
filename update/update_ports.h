// What the update check, the download and the hand-over between program files need
// from the system and from the update window. The Windows implementations live in
// update_system_win32.cpp and update_window_win32.cpp; tests pass fakes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "imaging/picture.h"
#include "update/download_check.h"
#include "update/http_fetch.h"
#include "update/update_signature.h"

namespace snapdeck {

// A file opened so that no other process can write, delete or rename it until this
// is destroyed: what was checked is what gets renamed.
class HeldFile {
 public:
  virtual ~HeldFile() = default;
  // The SHA-256 of the file's bytes as they are now; nullopt when they cannot be read.
  virtual std::optional<Sha256Digest> sha256() = 0;
  // Renames the file through the held handle; fails when the target exists.
  virtual bool renameTo(const std::u16string& path) = 0;
};

class UpdateSystem {
 public:
  virtual ~UpdateSystem() = default;
  // A fresh transport for one fetch.
  virtual std::unique_ptr<HttpTransport> transport() = 0;
  // Full path of the running executable.
  virtual std::u16string modulePath() = 0;
  // Size of a regular file; -1 when it is missing or a directory.
  virtual std::int64_t fileSize(const std::u16string& path) = 0;
  // Opens the file for reading and writing, sharing read access only and creating it
  // when missing, then closes it again. False while another process holds it.
  virtual bool openReadWrite(const std::u16string& path) = 0;
  // Creates or overwrites the file with exactly these bytes; no partial file is left.
  virtual bool writeFile(const std::u16string& path, const std::vector<std::uint8_t>& bytes) = 0;
  virtual bool copyFile(const std::u16string& from, const std::u16string& to) = 0;
  // Renames; fails when the target exists.
  virtual bool moveFile(const std::u16string& from, const std::u16string& to) = 0;
  virtual bool deleteFile(const std::u16string& path) = 0;
  // Holds the file for checking and renaming; null when it is missing or in use.
  virtual std::unique_ptr<HeldFile> holdFile(const std::u16string& path) = 0;
  // Starts the program with one parameter in that working folder, without waiting.
  virtual bool startProgram(const std::u16string& path, const std::u16string& parameter,
                            const std::u16string& workingDir) = 0;
  // The system's SHA-256 of the bytes; nullopt when the system cannot compute it.
  virtual std::optional<Sha256Digest> sha256(const std::uint8_t* bytes, std::size_t size) = 0;
  // True when the system verifies the ECDSA P-256 signature of the digest with the key.
  virtual bool verifySignature(const EcPublicKey& key, const Sha256Digest& digest,
                               const EcSignature& signature) = 0;
  virtual void sleepMs(int ms) = 0;
  // A message bubble without parent window.
  virtual void messageBubble(const std::u16string& caption, const std::u16string& text,
                             Rgb theme) = 0;
};

// The update window as the check and the download use it.
class UpdateWindowPort {
 public:
  virtual ~UpdateWindowPort() = default;
  virtual void setStatus(const std::u16string& text) = 0;
  // Takes and drops every pending window event (clicks made during a fetch are lost).
  virtual void discardEvents() = 0;
  // Disables the window, asks with the login bubble, activates and enables the window
  // again and drops pending events. True when the user confirmed new credentials.
  // The host (with its port when one is written) is named in the bubble.
  virtual bool askLogin(const std::u16string& host) = 0;
  // The error sound, when there is a sound system.
  virtual void playErrorSound() = 0;
  // Progress of a fetch, as HttpFetch reports it.
  virtual void drawProgress(int maximum, int value) = 0;
  // A steady clock in milliseconds, for the deadline of a fetch.
  virtual std::uint64_t nowMs() = 0;
  // Keeps the window live for up to ms while a fetch runs on its worker; true once
  // the user has asked to stop it (Cancel or Escape). Other clicks are dropped.
  virtual bool waitDuringFetch(int ms) = 0;
};

}  // namespace snapdeck
