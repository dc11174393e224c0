"""Writes 16-bit BMPs of 4 x 2 pixels: red, green, blue, mid grey / yellow, white, black, a
blue-ish colour, packed as 5-5-5 (BI_RGB and BI_BITFIELDS), 5-6-5 and 1-5-5-5 with alpha."""
import struct
import sys

ROWS = [[(255, 0, 0), (0, 255, 0), (0, 0, 255), (132, 132, 132)],
        [(255, 255, 0), (255, 255, 255), (0, 0, 0), (8, 132, 255)]]


def make(path, masks, header, compression):
    width, height = 4, 2

    def pack(colour):
        value = 0
        for component, mask in zip(colour, masks[:3]):
            shift = (mask & -mask).bit_length() - 1
            bits = bin(mask).count('1')
            value |= ((component * ((1 << bits) - 1) + 127) // 255) << shift
        if len(masks) > 3:
            value |= masks[3]  # opaque
        return value

    data = b''
    for row in reversed(ROWS):  # bottom row first
        line = b''.join(struct.pack('<H', pack(c)) for c in row)
        data += line + b'\0' * (-len(line) % 4)
    info = struct.pack('<IiiHHIIiiII', header, width, height, 1, 16, compression, len(data),
                       2835, 2835, 0, 0)
    if header == 40:
        if compression == 3:
            info += struct.pack('<III', *masks[:3])
    else:
        info += struct.pack('<IIII', *(list(masks) + [0])[:4]) + b'BGRs'
        info += b'\0' * (header - len(info))
    offset = 14 + len(info)
    with open(path, 'wb') as out:
        out.write(b'BM' + struct.pack('<IHHI', offset + len(data), 0, 0, offset) + info + data)


folder = sys.argv[1]
make(f'{folder}/rgb555.bmp', (0x7C00, 0x3E0, 0x1F), 40, 0)
make(f'{folder}/bitfields555.bmp', (0x7C00, 0x3E0, 0x1F), 40, 3)
make(f'{folder}/bitfields565.bmp', (0xF800, 0x7E0, 0x1F), 40, 3)
make(f'{folder}/argb1555.bmp', (0x7C00, 0x3E0, 0x1F, 0x8000), 108, 3)
