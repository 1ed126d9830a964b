#!/usr/bin/env python3
"""Answers echo requests itself, late: run in a namespace whose kernel
ignores echoes (net.ipv4.icmp_echo_ignore_all=1). Requests to an address
starting with PREFIX are answered after DELAY seconds, every other at once.
   slow-echo.py DELAY PREFIX"""
import socket
import struct
import sys
import threading

delay, prefix = float(sys.argv[1]), sys.argv[2]
listen = socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_ICMP)
send = socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_RAW)  # the IP header is ours


def checksum(data):
    if len(data) % 2:
        data += b"\0"
    total = sum(struct.unpack("!%dH" % (len(data) // 2), data))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return ~total & 0xFFFF


def answer(src, dst, icmp):
    reply = bytearray(icmp)
    reply[0] = 0  # echo reply, same identifier, sequence and data
    reply[2:4] = b"\0\0"
    reply[2:4] = struct.pack("!H", checksum(bytes(reply)))
    header = struct.pack("!BBHHHBBH4s4s", 0x45, 0, 20 + len(reply), 0, 0, 64, socket.IPPROTO_ICMP, 0, dst, src)
    send.sendto(header + bytes(reply), (socket.inet_ntoa(src), 0))


while True:
    packet, _ = listen.recvfrom(65535)
    ihl = (packet[0] & 0x0F) * 4
    icmp = packet[ihl:]
    if not icmp or icmp[0] != 8:
        continue
    src, dst = packet[12:16], packet[16:20]
    wait = delay if socket.inet_ntoa(dst).startswith(prefix) else 0
    threading.Timer(wait, answer, (src, dst, icmp)).start()
