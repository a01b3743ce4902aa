#!/usr/bin/env python3
"""Writes N records of one of the bench's copybook layouts as UTF-8 CSV, the same records for the same N.

  order        examples/order.cpy (124 bytes: REDEFINES, OCCURS, COMP, COMP-3, national, kana)
  card         bench/card-transaction.cpy (350 bytes, mostly text: names, addresses, an amount)
  transfer     examples/transfer.cpy (120-byte records of four types: a header, transfers, a trailer
               and an end record; each line names its record's layout first)
  clauses      bench/clauses.cpy (74 bytes: COMP-1, COMP-2, separate and leading signs, P scaling,
               COMP-5, BLANK WHEN ZERO), each value written as decode writes it back
  shipments    examples/shipments.cpy (24 to 56 bytes: 0 to 4 lines, OCCURS DEPENDING ON; native
               binary, a separate leading sign), the lines a record holds spread evenly

Usage: bench/generate_layout_records.py KIND N OUT.csv
"""
import random
import sys

kind, n, path = sys.argv[1], int(sys.argv[2]), sys.argv[3]
rng = random.Random(20261208)
kana = "ｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾅﾆﾇﾈﾉﾊﾋﾌﾍﾎﾏﾐﾑﾒﾓﾔﾕﾖﾗﾘﾙﾚﾛﾜｦﾝ"
kanji = "山田太郎鈴木花子佐藤一高橋美穂渡辺健伊恵中村翔小林結加武吉彩本次松奈央井上拓也"
words = ("NORTH SOUTH EAST WEST MARKET CAFE GROCERY BOOKS RAIL FUEL PHARMACY HOTEL GARDEN "
         "STATION PARK HILL RIVER CENTRAL HARBOR UNION").split()
streets = "MAIN OAK MAPLE CEDAR ELM PINE LAKE SECOND THIRD FIFTH".split()
cities = ("SPRINGFIELD RIVERTON FAIRVIEW MADISON GEORGETOWN ARLINGTON SALEM FRANKLIN CLINTON "
          "GREENVILLE").split()
first = "JAMES MARY ROBERT PATRICIA JOHN JENNIFER MICHAEL LINDA DAVID ELIZABETH".split()
last = "SMITH JOHNSON WILLIAMS BROWN JONES GARCIA MILLER DAVIS RODRIGUEZ MARTINEZ".split()


def kana_name(low=3, high=7):
    return ''.join(rng.choice(kana) for _ in range(rng.randint(low, high)))


def order(i):
    count = 1 + i % 2
    items = []
    total = 0
    for item in range(2):
        if item < count:
            quantity, price = rng.randint(1, 99), rng.randint(100, 9999999)
            total += quantity * price
            items.append('P-%04d,%d,%d.%02d' % (rng.randrange(10000), quantity, price // 100, price % 100))
        else:
            items.append(',0,0.00')
    return 'A%07d,2026%02d%02d,%s %s,%s,%s,%d,%s,%d.%02d,0.%03d' % (
        i % 10000000, 1 + i % 12, 1 + i % 28, kana_name(), kana_name(2, 5),
        ''.join(rng.choice(kanji) for _ in range(rng.randint(2, 5))),
        ('%d %s ST %s' % (rng.randint(1, 999), rng.choice(streets), rng.choice(cities)))[:24],
        count, ','.join(items), total // 100 % 1000000000, total % 100, rng.choice((80, 100)))


def card(i):
    amount = rng.randint(-99999, 9999999)
    return '%016d,%s,%d,%s,%s,%s%d.%02d,%s,%s,%d,%s,%s,%s,%05d,2026-%02d-%02d-%02d.%02d.%02d.%06d' % (
        i, rng.choice(('01', '02', '03')), rng.randrange(1, 20), rng.choice(('POS TERM', 'ONLINE', 'OPERATOR')),
        ('PURCHASE AT %s %s' % (rng.choice(words), rng.choice(words)))[:60],
        '-' if amount < 0 else '', abs(amount) // 100, abs(amount) % 100,
        '4%015d' % rng.randrange(10**15), '%s %s' % (rng.choice(first), rng.choice(last)),
        rng.randrange(10**8, 10**9), '%s %s %s' % (rng.choice(words), rng.choice(words), rng.choice(words)),
        '%d %s STREET' % (rng.randint(1, 9999), rng.choice(streets)), rng.choice(cities), rng.randrange(100000),
        1 + i % 12, 1 + i % 28, i % 24, i % 60, (i // 60) % 60, i % 1000000)


def transfer(i):
    # A header, n - 3 transfers, a trailer and an end record.
    if i == 0:
        return 'TRANSFER-HEADER,1,21,0,0012345678,ｶ)ｶｴﾃﾞｼｮｳｼﾞ,0405,0999,ｶｴﾃﾞｷﾞﾝｺｳ,001,ﾎﾝﾃﾝ,1,1234567'
    if i == n - 2:
        return 'TRANSFER-TRAILER,8,%d,%d' % (n - 3, transfer.total % 10**12)
    if i == n - 1:
        return 'TRANSFER-END,9'
    amount = rng.randint(1, 9999999)
    transfer.total += amount
    return 'TRANSFER-DATA,2,%04d,%s,%03d,%s,,%d,%07d,%s %s,%d,0,A-%06d,,7' % (
        rng.randrange(10000), kana_name(4, 9), rng.randrange(1000), kana_name(2, 6), rng.randint(1, 2),
        rng.randrange(10**7), kana_name(3, 8), kana_name(2, 6), amount, i % 1000000)


def decimal(mantissa, places):
    """The text of mantissa / 10**places as decode writes it: no trailing zeros after the point."""
    sign, digits = ('-' if mantissa < 0 else ''), str(abs(mantissa)).rjust(places + 1, '0')
    text = digits[:len(digits) - places] + ('.' + digits[len(digits) - places:] if places else '')
    return sign + (text.rstrip('0').rstrip('.') if places else text)


def clauses(i):
    # Floats of 5 and 12 significant digits at most, which their formats hold exactly enough to read
    # back as written.
    balance = rng.randint(-9999999, 99999999)
    alarm = rng.choice((0, rng.randint(1, 9999)))
    return '%s,%s,%s,%s,%s%d.%02d,%d,%d,%d,%s,2026%02d%02d' % (
        'M%09d' % i, ('%s %s' % (rng.choice(words), rng.choice(words)))[:20],
        decimal(rng.randint(1, 99999), rng.randint(0, 4)), decimal(rng.randint(-10**12 + 1, 10**12 - 1), 3),
        '-' if balance < 0 else '', abs(balance) // 100, abs(balance) % 100, rng.randint(-999, 999),
        rng.randint(0, 99999) * 1000, rng.randint(-32768, 32767), '%d.%d' % (alarm // 10, alarm % 10),
        1 + i % 12, 1 + i % 28)


def shipments(i):
    count = i % 5
    lines = []
    for line in range(4):
        lines += ['%s%04d' % (rng.choice('ABCDE'), rng.randint(0, 9999)), str(rng.randint(-99999, 99999))] \
            if line < count else ['', '']
    cents = rng.randint(-9999999, 9999999)
    return '%d,%d,%s%d.%02d,%d,%s,%s' % (
        100000 + i % 900000, rng.randint(-2**31, 2**31 - 1), '-' if cents < 0 else '', abs(cents) // 100,
        abs(cents) % 100, count, ','.join(lines), rng.choice(cities)[:8])


transfer.total = 0
make = {'order': order, 'card': card, 'transfer': transfer, 'clauses': clauses, 'shipments': shipments}[kind]
with open(path, 'w', encoding='utf-8', newline='\n') as out:
    lines = []
    for i in range(n):
        lines.append(make(i) + '\n')
        if len(lines) == 65536:
            out.write(''.join(lines))
            lines.clear()
    out.write(''.join(lines))
