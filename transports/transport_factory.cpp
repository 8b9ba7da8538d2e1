#include "transports/builtin_transports.h"

#include "transports/dante_if.h"
#include "transports/hal_midi.h"
#include "transports/orvella_midi.h"
#include "transports/wire_trace.h"
#include "transports/ztusb.h"

COrvellaInterface* BuiltInTransports::Create(uint16_t type) {
  COrvellaInterface* transport = nullptr;
  if (type == kTransportDriver) transport = new CHalMIDI();
  if (type == kTransportMidi) transport = new COrvellaMIDI();
  if (type == kTransportNetwork) transport = new CDanteIF();
  return WithWireTrace(transport);
}

CCardUpdater* BuiltInTransports::CreateCardUpdater() { return new CZTUSB(); }
