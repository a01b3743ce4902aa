      * Readings of a metering ledger: a record of the clauses a copybook
      * may use beside DISPLAY and COMP-3 text and numbers: floats, a
      * separate and a leading sign, decimal scaling, native binary and
      * BLANK WHEN ZERO (74 bytes).
       01  READING.
           05  METER-ID            PIC X(10).
           05  SITE-NAME           PIC X(20).
           05  RATE                COMP-1.
           05  VOLUME              COMP-2.
           05  BALANCE             PIC S9(7)V99 SIGN LEADING SEPARATE.
           05  ADJUSTMENT          PIC S9(3) SIGN LEADING.
           05  CAPACITY            PIC 9(5)PPP.
           05  TEMPERATURE         PIC S9(4) COMP-5.
           05  ALARM-LEVEL         PIC 9(3)V9 BLANK WHEN ZERO.
           05  READ-DATE           PIC 9(8).
