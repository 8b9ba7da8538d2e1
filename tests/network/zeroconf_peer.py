"""An independent multicast DNS peer for the network tests (python3-zeroconf).

  zeroconf_peer.py register SECONDS   registers the services the tests
      expect, prints "ready", keeps them SECONDS, unregisters (goodbyes),
      prints "gone".
  zeroconf_peer.py devices SECONDS   the same for one device as the maker
      advertises it: media and conmon services under the "_Zelk" subtype
      with their full TXT records.
  zeroconf_peer.py card SECONDS   the same for the network simulator's first
      card ("Orvella-ZI-RERAR-1"), under the subtype "Zelk" as given,
      without the leading underscore.
  zeroconf_peer.py browse TYPE SECONDS   browses TYPE and prints
      "found NAME PORT KEY=VALUE,..." for each service it resolves; ends
      after the first or after SECONDS.
Runs only inside the tests' private network (127.0.0.1 on loopback).
"""
import socket
import sys
import time

from zeroconf import IPVersion, ServiceBrowser, ServiceInfo, Zeroconf


def make():
    return Zeroconf(interfaces=["127.0.0.1"], ip_version=IPVersion.V4Only)


def service_pair(arc_type, cmc_type, instance, server, arc_properties, cmc_properties):
    """The media (arc, port 4440) and conmon (cmc, port 8800) services of one
    device at 127.0.0.1; a type names its subtype, if any, in full."""
    address = socket.inet_aton("127.0.0.1")
    arc_type = arc_type + "." if arc_type else ""
    cmc_type = cmc_type + "." if cmc_type else ""
    return [
        ServiceInfo(arc_type + "_netaudio-arc._udp.local.", instance + "._netaudio-arc._udp.local.",
                    addresses=[address], port=4440, server=server, properties=arc_properties),
        ServiceInfo(cmc_type + "_netaudio-cmc._udp.local.", instance + "._netaudio-cmc._udp.local.",
                    addresses=[address], port=8800, server=server, properties=cmc_properties),
    ]


def unit_infos():
    return service_pair("", "_Zelk._sub", "Peer Unit", "peer-unit.local.",
                        {"arcp_vers": "2.8.1", "router_vers": "4.1.0", "mf": "Zelk", "pad": "p" * 200},
                        {"id": "0011223344556677", "process": "0", "mf": "Zelk"})


def device_infos():
    return service_pair("_Zelk._sub", "_Zelk._sub", "Peer Box", "peer-box.local.",
                        {"arcp_vers": "2.8.1", "arcp_min": "2.0.0", "router_vers": "4.1.0",
                         "router_info": "zi-rerar", "mf": "Zelk", "model": "_0a1b"},
                        {"id": "001DC1FFFE500C2A", "process": "3", "vid": "0000000000000001",
                         "vba": "1.2.3.4", "mf": "Zelk", "model": "ZIRERAR"})


def card_infos():
    return service_pair("Zelk._sub", "Zelk._sub", "Orvella-ZI-RERAR-1", "zi-rerar-1.local.",
                        {"arcp_vers": "2.7.1", "arcp_min": "2.0.0", "router_vers": "4.2.3",
                         "router_info": "ZI-RERAR", "mf": "Zelk", "model": "ZIRERAR"},
                        {"id": "001dc1fffe5a3b01", "process": "0", "mf": "Zelk", "model": "ZIRERAR"})


def register(seconds, infos):
    zc = make()
    for info in infos:
        zc.register_service(info)
    print("ready", flush=True)
    time.sleep(seconds)
    for info in infos:
        zc.unregister_service(info)
    print("gone", flush=True)
    zc.close()


def browse(kind, seconds):
    zc = make()
    found = []

    class Listener:
        def add_service(self, zc, type_, name):
            info = zc.get_service_info(type_, name, timeout=3000)
            if info is None:
                return
            props = ",".join("%s=%s" % (k.decode(), (v or b"").decode()) for k, v in sorted(info.properties.items()))
            found.append("found %s %d %s %s" % (name.split(".")[0], info.port,
                                               socket.inet_ntoa(info.addresses[0]) if info.addresses else "-", props))

        def update_service(self, zc, type_, name):
            pass

        def remove_service(self, zc, type_, name):
            pass

    ServiceBrowser(zc, kind, Listener())
    end = time.time() + seconds
    while time.time() < end and not found:
        time.sleep(0.05)
    for line in found:
        print(line, flush=True)
    zc.close()


if __name__ == "__main__":
    if sys.argv[1] == "register":
        register(float(sys.argv[2]), unit_infos())
    elif sys.argv[1] == "devices":
        register(float(sys.argv[2]), device_infos())
    elif sys.argv[1] == "card":
        register(float(sys.argv[2]), card_infos())
    else:
        browse(sys.argv[2], float(sys.argv[3]))
