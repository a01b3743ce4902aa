      * An order record as the host's order-entry programs read it.
       01  ORDER-RECORD.
           05  ORDER-ID            PIC X(8).
           05  ORDER-DATE          PIC 9(8).
           05  ORDER-DATE-PARTS REDEFINES ORDER-DATE.
               10  ORDER-YEAR      PIC 9(4).
               10  ORDER-MONTH     PIC 9(2).
               10  ORDER-DAY       PIC 9(2).
           05  CUSTOMER-KANA       PIC X(20).
           05  CUSTOMER-NAME       PIC N(10).
           05  SHIP-TO             PIC X(24).
           05  ITEM-COUNT          PIC S9(4)    COMP.
           05  ITEMS OCCURS 2 TIMES.
               10  ITEM-CODE       PIC X(6).
               10  QUANTITY        PIC S9(5)    COMP-3.
               10  UNIT-PRICE      PIC S9(7)V99 COMP-3.
           05  TOTAL-AMOUNT        PIC S9(9)V99 COMP-3.
           05  TAX-RATE            PIC 9V999.
           05  FILLER              PIC X(4).
