#!/usr/bin/env python3
"""Writes the seed inputs of receive_fuzz into fuzz/corpus/receive_fuzz/.

Input layout (see receive_fuzz.cpp): byte 0 = poll mode | chunk << 3, then
the byte stream the unit sends. Run again after changing the layout.
"""
import os

HEAD = [0xF0, 0x00, 0x01, 0x54]


def pack7(data):
    bits = ''.join(f'{b:08b}' for b in data)
    bits += '0' * (-len(bits) % 7)
    return [int(bits[i:i + 7], 2) for i in range(0, len(bits), 7)]


def register_data(start, data):
    span = len(data) - 1
    if start > 511 or len(data) > 256 or ((start >> 5) & 7) == 7:
        body = [0x77, (start >> 9) & 0x7F, (start >> 2) & 0x7F,
                ((start & 3) << 5) | ((span >> 11) & 0x1F), (span >> 4) & 0x7F, (span & 0x0F) << 3]
    else:
        body = [0x70 | ((start >> 5) & 7), ((start & 0x1F) << 2) | ((span >> 6) & 3),
                ((span & 0x3F) << 1) | ((start >> 8) & 1)]
    return HEAD + body + pack7(data) + [0xF7]


def seed(mode, chunk, stream):
    return bytes([mode | (chunk << 3)] + stream)


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'corpus', 'receive_fuzz')
    os.makedirs(out, exist_ok=True)
    reg9 = register_data(9, [0])
    seeds = {
        'register9': seed(0, 31, reg9),
        'verify_packet': seed(4, 2, register_data(128, list(range(128)))),
        'verify_wide': seed(4, 31, register_data(128, [0x5A] * 300)),
        'transfer_long_frame': seed(3, 0, reg9 + [0xF7] + reg9),
        'noise_split': seed(1, 0, [0x12, 0xF7, 0x00] + register_data(1, list(range(24))) * 2),
        'long_form_high': seed(1, 5, register_data(1024, [0x33] * 64)),
        'past_image_end': seed(0, 9, register_data(2040, [0x44] * 16)),
        'unterminated': seed(0, 31, reg9[:-1] + register_data(56, [6, 0, 100])),
        'other_codes': seed(5, 31, HEAD + [0x61, 0x4D, 0x38, 0xF7] + HEAD[:3] + [0x55, 0x70, 0x24, 0, 0, 0, 0xF7]),
    }
    for name, data in seeds.items():
        with open(os.path.join(out, name), 'wb') as f:
            f.write(data)


if __name__ == '__main__':
    main()
