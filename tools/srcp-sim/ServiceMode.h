#pragma once
// The programming track of the simulated SRCP 0.8.2 server: one simulated DCC decoder with its CV
// memory, read and written through the SM device group. Operations take time, as on a real
// programming track, and can be made to fail the way real ones do: no loco on the track (nothing
// draws current, the command station gives up) or a decoder that does not acknowledge.
//
//   INIT <bus> SM NMRA                           enter service mode
//   SET <bus> SM <addr> CV <cv> <value>          write a byte
//   SET <bus> SM <addr> CVBIT <cv> <bit> <value> write one bit
//   SET <bus> SM <addr> REG <reg> <value>        write a register (1-4 = CV 1-4, 5 = CV 29, 6-8 = CV 6-8)
//   GET <bus> SM <addr> CV|REG <cv> / CVBIT <cv> <bit>           read; answered 100 INFO ...
//   VERIFY <bus> SM <addr> CV <cv> <value> / CVBIT <cv> <bit> <value>  100 INFO when equal, else 412
//   TERM <bus> SM                                leave service mode
// Reads and verifies are answered by the decoder on the programming track whatever address they
// name (0 or the loco's own), as a programming track does; a write to an address other than 0
// programs that loco on the main track.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace srcpsim {

class ServiceMode {
public:
  ServiceMode() { reset(); }

  struct Result {
    int code = 200;        // SRCP answer code: 200 OK, 100 INFO, or an error (4xx)
    std::string infoText;  // for 100: the text after "INFO <bus> SM "
    double durationMs = 0; // how long the programming track is busy with it
  };

  // One SM command (the words after "<cmd> <bus> SM"); `cmd` in capitals.
  Result command(const std::string &cmd, const std::vector<std::string_view> &args);

  // Faults, from the control input.
  void setNoLoco(bool on) { noLoco_ = on; }
  void setNoAck(bool on) { noAck_ = on; }
  // A command station that hangs in service mode: every SM command but INIT is read and never
  // answered, and changes nothing.
  void setSilent(bool on) { silent_ = on; }
  bool silent() const { return silent_; }
  // Milliseconds one read and one write take (a verify counts as a read).
  void setTiming(double readMs, double writeMs) { readMs_ = readMs; writeMs_ = writeMs; }

  // The decoder's factory values (also what writing 8 into CV 8 restores).
  void reset();
  int cv(int number) const { return cvs_[static_cast<std::size_t>(number)]; }

  static constexpr int kCvCount = 1024;

private:
  std::array<std::uint8_t, kCvCount + 1> cvs_{};
  bool active_ = false;
  bool noLoco_ = false;
  bool noAck_ = false;
  bool silent_ = false;
  double readMs_ = 120;
  double writeMs_ = 60;
};

} // namespace srcpsim
