#include "protocol/codec.h"
  #  include <transports/ztusb.h>
