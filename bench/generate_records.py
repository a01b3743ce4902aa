#!/usr/bin/env python3
"""Writes N records of the benchmark layout as UTF-8 CSV, the same records for the same N.

The layout: code (8, text), half-width kana name (20, text), kanji name (10, national), quantity
(7, zoned), signed amount (11, packed), date (8, zoned); --lengths 8,20,10,7,11,8 --formats 1,1,2,0,3,0.

Usage: bench/generate_records.py N OUT.csv
"""
import random
import sys

n, path = int(sys.argv[1]), sys.argv[2]
rng = random.Random(20240131)
kana = "ｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾅﾆﾇﾈﾉﾊﾋﾌﾍﾎﾏﾐﾑﾒﾓﾔﾕﾖﾗﾘﾙﾚﾛﾜｦﾝﾞ"
kanji = "山田太郎鈴木花子佐藤一高橋美穂渡辺健伊恵中村翔小林結加武吉彩本次松奈央井上拓也"
kana_names = [''.join(rng.choice(kana) for _ in range(rng.randint(3, 7))) + ' ' +
              ''.join(rng.choice(kana) for _ in range(rng.randint(2, 6))) for _ in range(4096)]
kanji_names = [''.join(rng.choice(kanji) for _ in range(rng.randint(2, 5))) for _ in range(4096)]
with open(path, 'w', encoding='utf-8', newline='\n') as out:
    lines = []
    for i in range(n):
        lines.append('%c%07d,%s,%s,%d,%d,2024%02d%02d\n' % (
            'ABCD'[i % 4], i % 10000000, kana_names[rng.getrandbits(12)], kanji_names[rng.getrandbits(12)],
            rng.randrange(10000000), rng.randrange(-99999999999, 99999999999), 1 + i % 12, 1 + i % 28))
        if len(lines) == 65536:
            out.write(''.join(lines))
            lines.clear()
    out.write(''.join(lines))
