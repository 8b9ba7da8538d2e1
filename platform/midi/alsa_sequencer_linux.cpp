// The sequencer interface on libasound: the only file that calls it.
#include <alsa/asoundlib.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>

#include "platform/core/log.h"
#include "platform/midi/sequencer.h"

namespace platform {
namespace {

static_assert(seq::kCapRead == SND_SEQ_PORT_CAP_READ && seq::kCapWrite == SND_SEQ_PORT_CAP_WRITE &&
              seq::kCapSubsRead == SND_SEQ_PORT_CAP_SUBS_READ && seq::kCapSubsWrite == SND_SEQ_PORT_CAP_SUBS_WRITE &&
              seq::kCapNoExport == SND_SEQ_PORT_CAP_NO_EXPORT);
static_assert(seq::kTypeMidiGeneric == SND_SEQ_PORT_TYPE_MIDI_GENERIC && seq::kTypeSynth == SND_SEQ_PORT_TYPE_SYNTH &&
              seq::kTypeDirectSample == SND_SEQ_PORT_TYPE_DIRECT_SAMPLE && seq::kTypeSample == SND_SEQ_PORT_TYPE_SAMPLE &&
              seq::kTypeHardware == SND_SEQ_PORT_TYPE_HARDWARE && seq::kTypeSoftware == SND_SEQ_PORT_TYPE_SOFTWARE &&
              seq::kTypeSynthesizer == SND_SEQ_PORT_TYPE_SYNTHESIZER &&
              seq::kTypeApplication == SND_SEQ_PORT_TYPE_APPLICATION);

// alsa-lib prints its complaints on standard error; ours go to the log.
void RouteAlsaError(const char* file, int line, const char* function, int err, const char* fmt, ...) {
  char text[512];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(text, sizeof text, fmt, args);
  va_end(args);
  if (err) {
    LogMessage("ALSA: %s:%d (%s) %s: %s\n", file, line, function, text, snd_strerror(err));
  } else {
    LogMessage("ALSA: %s:%d (%s) %s\n", file, line, function, text);
  }
}

class AlsaSequencer final : public Sequencer {
 public:
  ~AlsaSequencer() override {
    if (seq_) snd_seq_close(seq_);
  }

  int Open() override {
    if (seq_) return 0;
    snd_lib_error_set_handler(RouteAlsaError);
    // Without the device node alsa-lib would still try (and complain); the
    // answer is known.
    if (access("/dev/snd/seq", R_OK | W_OK) != 0) return -errno;
    const int err = snd_seq_open(&seq_, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK);
    if (err < 0) {
      seq_ = nullptr;
      return err;
    }
    snd_seq_set_client_name(seq_, "Reflash");
    own_ = snd_seq_client_id(seq_);
    return 0;
  }

  std::vector<SeqPortInfo> Ports() override {
    std::vector<SeqPortInfo> list;
    if (!seq_) return list;
    snd_seq_client_info_t* client;
    snd_seq_port_info_t* port;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_alloca(&port);
    snd_seq_client_info_set_client(client, -1);
    while (snd_seq_query_next_client(seq_, client) >= 0) {
      const int id = snd_seq_client_info_get_client(client);
      if (id == own_ || id == SND_SEQ_CLIENT_SYSTEM) continue;
      snd_seq_port_info_set_client(port, id);
      snd_seq_port_info_set_port(port, -1);
      while (snd_seq_query_next_port(seq_, port) >= 0) {
        list.push_back({id, snd_seq_port_info_get_port(port), snd_seq_port_info_get_name(port),
                        snd_seq_port_info_get_capability(port), snd_seq_port_info_get_type(port)});
      }
    }
    return list;
  }

  int FindPort(int client, int port) override {
    if (!seq_) return -ENODEV;
    snd_seq_port_info_t* info;
    snd_seq_port_info_alloca(&info);
    const int err = snd_seq_get_any_port_info(seq_, client, port, info);
    return err < 0 ? err : 0;
  }

  int CreatePort(const std::string& name, unsigned caps, unsigned type) override {
    return seq_ ? snd_seq_create_simple_port(seq_, name.c_str(), caps, type) : -ENODEV;
  }
  int DeletePort(int port) override { return seq_ ? snd_seq_delete_simple_port(seq_, port) : -ENODEV; }
  int ConnectFrom(int local, int client, int port) override {
    return seq_ ? snd_seq_connect_from(seq_, local, client, port) : -ENODEV;
  }
  int ConnectTo(int local, int client, int port) override {
    return seq_ ? snd_seq_connect_to(seq_, local, client, port) : -ENODEV;
  }
  int DisconnectFrom(int local, int client, int port) override {
    return seq_ ? snd_seq_disconnect_from(seq_, local, client, port) : -ENODEV;
  }
  int DisconnectTo(int local, int client, int port) override {
    return seq_ ? snd_seq_disconnect_to(seq_, local, client, port) : -ENODEV;
  }

  int SendSysEx(int local, const uint8_t* data, uint32_t length) override {
    if (!seq_) return -ENODEV;
    snd_seq_event_t ev;
    snd_seq_ev_clear(&ev);
    snd_seq_ev_set_source(&ev, local);
    snd_seq_ev_set_subs(&ev);
    snd_seq_ev_set_direct(&ev);
    snd_seq_ev_set_sysex(&ev, length, const_cast<uint8_t*>(data));
    const int err = snd_seq_event_output_direct(seq_, &ev);
    return err < 0 ? err : 0;
  }

  int Receive(SeqEvent* event) override {
    if (!seq_) return 0;
    snd_seq_event_t* ev = nullptr;
    const int err = snd_seq_event_input(seq_, &ev);
    if (err == -EAGAIN) return 0;
    if (err < 0) return err;
    if (!ev) return 0;
    event->destPort = ev->dest.port;
    event->sysex = ev->type == SND_SEQ_EVENT_SYSEX;
    event->data = event->sysex ? static_cast<const uint8_t*>(ev->data.ext.ptr) : nullptr;
    event->length = event->sysex ? ev->data.ext.len : 0;
    return 1;
  }

  std::vector<int> InputDescriptors() override {
    std::vector<int> fds;
    if (!seq_) return fds;
    const int n = snd_seq_poll_descriptors_count(seq_, POLLIN);
    if (n <= 0) return fds;
    std::vector<pollfd> set(static_cast<size_t>(n));
    const int got = snd_seq_poll_descriptors(seq_, set.data(), static_cast<unsigned>(n), POLLIN);
    for (int i = 0; i < got; ++i) fds.push_back(set[static_cast<size_t>(i)].fd);
    return fds;
  }

 private:
  snd_seq_t* seq_ = nullptr;
  int own_ = -1;
};

}  // namespace

Sequencer& SystemSequencer() {
  static AlsaSequencer sequencer;
  return sequencer;
}

}  // namespace platform
