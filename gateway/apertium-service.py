#!/usr/bin/python3
"""Starts Debian's Apertium service (APy) listening on one address only, 127.0.0.1 by default.

usage: apertium-service.py [--listen ADDRESS] [--port-file FILE] APY-ARGUMENTS...
e.g.   apertium-service.py --port-file apy.port -p 0 /usr/share/apertium/modes

APy binds every interface and has no option for it; on a desktop that would put the service on
the network. Its code stays as Debian ships it: the socket binding it calls is wrapped to pass
the address. With -p 0 the system picks a free port; --port-file receives the port once the
socket is bound (written whole, by a rename), so a starter can wait for it.
"""
import os
import sys

listen = '127.0.0.1'
port_file = None
args = sys.argv[1:]
while args and args[0] in ('--listen', '--port-file'):
    if len(args) < 2:
        sys.exit(__doc__)
    if args[0] == '--listen':
        listen = args[1]
    else:
        port_file = args[1]
    args = args[2:]

# APy's argument parser reads sys.argv when its module is imported.
sys.argv = ['apertium-apy'] + args

import tornado.tcpserver  # noqa: E402

_bind_sockets = tornado.tcpserver.bind_sockets


def bind_sockets(port, address=None, *rest, **options):
    sockets = _bind_sockets(port, listen, *rest, **options)
    if port_file:
        with open(port_file + '.tmp', 'w') as out:
            out.write('%d\n' % sockets[0].getsockname()[1])
        os.rename(port_file + '.tmp', port_file)
    return sockets


tornado.tcpserver.bind_sockets = bind_sockets

from apertium_apy import apy  # noqa: E402

apy.main()
