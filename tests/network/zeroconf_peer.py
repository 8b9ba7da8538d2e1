"""An independent multicast DNS peer for the network tests (python3-zeroconf).

  zeroconf_peer.py register SECONDS   registers the services the tests
      expect, prints "ready", keeps them SECONDS, unregisters (goodbyes),
      prints "gone".
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


def register(seconds):
    zc = make()
    address = socket.inet_aton("127.0.0.1")
    infos = [
        ServiceInfo("_netaudio-arc._udp.local.", "Peer Unit._netaudio-arc._udp.local.",
                    addresses=[address], port=4440, server="peer-unit.local.",
                    properties={"arcp_vers": "2.8.1", "router_vers": "4.1.0", "mf": "Zelk",
                                "pad": "p" * 200}),
        ServiceInfo("_Zelk._sub._netaudio-cmc._udp.local.", "Peer Unit._netaudio-cmc._udp.local.",
                    addresses=[address], port=8800, server="peer-unit.local.",
                    properties={"id": "0011223344556677", "process": "0", "mf": "Zelk"}),
    ]
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
        register(float(sys.argv[2]))
    else:
        browse(sys.argv[2], float(sys.argv[3]))
