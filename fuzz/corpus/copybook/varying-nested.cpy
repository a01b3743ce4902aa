       01  ORDER.
           05  N1  PIC 9.
           05  N2  PIC S9(3) COMP-3.
           05  T1  PIC XX OCCURS 0 TO 2 DEPENDING ON N1.
           05  G OCCURS 1 TO 2 DEPENDING ON N2.
               10  K   PIC 9.
               10  T2  PIC X OCCURS 0 TO 2 DEPENDING ON N1.
           05  TAIL PIC X.
