      * MONTHLY TOTALS: NESTED TABLES AND REDEFINITIONS
       01  TOTALS-REC.
           05  HEADER.
               10  REC-TYPE        PIC X.
               10  YEAR            PIC 9(4).
           05  MONTHS USAGE COMP-3.
               10  MONTH OCCURS 12.
                   15  AMOUNT      PIC S9(9)V99.
                   15  WEEK OCCURS 5 PIC S9(7).
           05  TOTALS.
               10  AMOUNT          PIC S9(11)V99 COMP-3.
           05  NOTE-TEXT           PIC X(40) VALUE 'TOTALS ARE KEPT IN
      -    'PACKED DECIMAL'.
           05  NOTE-PARTS REDEFINES NOTE-TEXT.
               10  NOTE-HEAD       PIC X(20).
               10  FILLER          PIC X(20).
       01  TOTALS-FLAT REDEFINES TOTALS-REC PIC X(100).
