       01  CLAUSES.
           05  AMOUNT   PIC S9(5) SIGN LEADING SEPARATE.
           05  RATE     COMP-1.
           05  TOTALS   USAGE COMP-2.
               10  T1.
               10  T2.
           05  THOUSANDS PIC 9(3)PPP.
           05  TINY     PIC SVPP9(3) COMP-3.
           05  NAME     PIC X(8) JUST RIGHT.
           05  QTY      PIC 9(4) BLANK WHEN ZERO.
           05  SHOWN    PIC ZZZ,ZZ9.99-.
           05  CODE     PIC XXBXX.
           05  COUNTER  PIC S9(4) COMP-5.
           05  GRP      SIGN TRAILING SEPARATE.
               10  A    PIC S99.
               10  B    PIC 99.
