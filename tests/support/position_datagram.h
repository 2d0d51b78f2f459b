// Position datagrams as the server sends them, for the receive tests.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

// Fields 1 to 40 of a position datagram, as texts; field(n) is 1-based.
struct DatagramFields {
  std::vector<std::string> texts;

  DatagramFields() {
    // Local x y z; lat lon elev; theta phi psi; flap flap2 speedbrake slat
    // sweep; yoke pitch roll yaw.
    texts = {"-12.5", "310.25", "1024", "47.5", "8.5", "512.5", "3.5", "-10.25", "270.5",
             "0.5", "0.25", "0.125", "0.75", "0.375", "-0.5", "0.0625", "0.875"};
    for (int i = 0; i < 10; ++i) texts.push_back(std::to_string(i) + ".5");  // gear 0-9
    for (const char* light : {"1", "0", "1", "0", "1"}) texts.push_back(light);
    for (int i = 0; i < 8; ++i) texts.push_back("0." + std::to_string(i + 1));  // throttle 0-7
  }
  std::string& field(int number) { return texts[number - 1]; }
  DatagramFields& with(int number, const std::string& text) {
    field(number) = text;
    return *this;
  }
  // slot + "|l|" and every field followed by a bar, then trailing text.
  std::string datagram(int slot, const std::string& trailer = "1234|1235") const {
    std::string out = std::to_string(slot) + "|l|";
    for (const std::string& text : texts) out += text + "|";
    return out + trailer;
  }
};

}  // namespace testsupport
