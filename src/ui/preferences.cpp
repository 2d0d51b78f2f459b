// The preferences file: reading, writing, and the escapes of text values.
//
// The format is one line of key=value; entries in a fixed order. Text values
// escape "%", ";", CR and LF, which an entry could not carry otherwise;
// everything else is stored byte for byte, so earlier files read unchanged.
#include "ui/preferences.h"

#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <string.h>

#ifdef _WIN32
#include <filesystem>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "net/numbers.h"
#include "shell/client_state.h"
#include "text/pattern.h"

namespace {

// One entry: the key is the shortest run up to the first "=", the value the
// shortest run after it up to the next ";". Without DOTALL "." stops at a
// line feed, so a line feed ends the reading.
const Pattern& entryPattern() {
  static const Pattern pattern("(.*?)\\=(.*?)\\;", Pattern::kDefault);
  return pattern;
}

struct Escape {
  char plain;
  const char* stored;
};
const Escape kEscapes[] = {{'%', "%25"}, {';', "%3B"}, {'\r', "%0D"}, {'\n', "%0A"}};

void appendText(std::string& content, const char* key, const std::string& value) {
  content += key;
  content += encodePreferenceText(value);
  content += ';';
}

void appendNumber(std::string& content, const char* key, int value) {
  appendInteger(content, key, value);
  content += ';';
}

std::string preferencesContent() {
  std::string content;
  appendText(content, "callsign=", client.callsign);
  appendText(content, "userID=", client.userID);
  appendText(content, "password=", client.password);
  appendNumber(content, "flightMode=", client.flightMode != 0 ? 1 : 0);
  appendNumber(content, "cockpitPosition=", client.cockpitPosition);
  appendText(content, "crewID=", client.crewID);
  appendNumber(content, "connectAtStartup=", client.connectAtStartup);
  return content;
}

void applyEntry(const std::string& key, const std::string& value) {
  struct TextKey {
    const char* key;
    std::string* setting;
  };
  struct NumberKey {
    const char* key;
    int* setting;
  };
  const TextKey texts[] = {{"callsign", &client.callsign},
                           {"userID", &client.userID},
                           {"password", &client.password},
                           {"crewID", &client.crewID}};
  const NumberKey numbers[] = {{"flightMode", &client.flightMode},
                               {"cockpitPosition", &client.cockpitPosition},
                               {"connectAtStartup", &client.connectAtStartup}};
  for (const TextKey& entry : texts) {
    if (key == entry.key) *entry.setting = decodePreferenceText(value);
  }
  for (const NumberKey& entry : numbers) {
    if (key == entry.key) *entry.setting = parsePreferenceInteger(value);
  }
}

#ifdef _WIN32

// Replacing rename is what std::filesystem offers here; the folder's access
// rules protect the file.
bool replaceFile(const std::string& content) {
  std::string temporary = std::string(kPreferencesPath) + ".new";
  FILE* file = fopen(temporary.c_str(), "wb");
  if (file == nullptr) return false;
  bool written = fwrite(content.data(), 1, content.size(), file) == content.size();
  written = fclose(file) == 0 && written;
  std::error_code error;
  if (written) std::filesystem::rename(temporary, kPreferencesPath, error);
  if (!written || error) {
    remove(temporary.c_str());
    return false;
  }
  return true;
}

#else

bool writeAll(int fd, const std::string& content) {
  size_t done = 0;
  while (done < content.size()) {
    ssize_t wrote = write(fd, content.data() + done, content.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    done += (size_t)wrote;
  }
  return true;
}

// The temporary is made owner-only (mkstemp's mode, made explicit), flushed
// to disk, then renamed over the file, so the file is either the old one or
// the new one, never a part of either.
bool replaceFile(const std::string& content) {
  std::string temporary = std::string(kPreferencesPath) + ".XXXXXX";
  int fd = mkstemp(temporary.data());
  if (fd < 0) return false;
  bool written = fchmod(fd, S_IRUSR | S_IWUSR) == 0 && writeAll(fd, content) && fsync(fd) == 0;
  written = close(fd) == 0 && written;
  if (!written || rename(temporary.c_str(), kPreferencesPath) != 0) {
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

#endif

}  // namespace

std::string encodePreferenceText(std::string_view value) {
  std::string stored;
  stored.reserve(value.size());
  for (char c : value) {
    const char* escape = nullptr;
    for (const Escape& e : kEscapes) {
      if (c == e.plain) escape = e.stored;
    }
    if (escape != nullptr) {
      stored += escape;
    } else {
      stored += c;
    }
  }
  return stored;
}

std::string decodePreferenceText(std::string_view stored) {
  std::string value;
  value.reserve(stored.size());
  size_t i = 0;
  while (i < stored.size()) {
    const Escape* match = nullptr;
    if (stored[i] == '%') {
      for (const Escape& e : kEscapes) {
        if (stored.substr(i, 3) == e.stored) match = &e;
      }
    }
    if (match != nullptr) {
      value += match->plain;
      i += 3;
    } else {
      value += stored[i];
      i += 1;
    }
  }
  return value;
}

int parsePreferenceInteger(std::string_view text) {
  size_t i = 0;
  // The C locale's white space, as atoi skips it.
  while (i < text.size() && text[i] != '\0' && strchr(" \t\n\v\f\r", text[i]) != nullptr) i++;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    i++;
  }
  long long magnitude = 0;
  const long long limit = (long long)INT_MAX + 1;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; i++) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > limit) magnitude = limit;  // clamps; atoi itself has no defined result
  }
  long long value = negative ? -magnitude : magnitude;
  if (value > INT_MAX) value = INT_MAX;
  return (int)value;
}

void readPreferences() {
  FILE* file = fopen(kPreferencesPath, "rb");
  if (file == nullptr) return;
  char buffer[kPreferencesReadLimit];
  size_t length = fread(buffer, 1, sizeof buffer, file);
  fclose(file);

  std::string_view rest(buffer, length);
  std::string key, value;
  while (entryPattern().consume(rest, {&key, &value})) applyEntry(key, value);
}

void writePreferences() {
  // A failure leaves the file as it was; the settings stay in force in memory.
  (void)replaceFile(preferencesContent());
}
