      * Shipments, one a record, back to back in a file without record
      * descriptors: each record holds as many lines as LINE-COUNT says
      * (0 to 4), so it is as long as its lines make it, and the next
      * record starts where it ends. Every record starts with the mark SH.
      * The weight is native binary (COMP-5: any value of its four bytes,
      * past the picture's nine digits); the amount to collect on delivery
      * has its sign in a byte of its own in front.
       01  SHIPMENT.
           05  FILLER              PIC X(2)     VALUE 'SH'.
           05  SHIP-NO             PIC 9(6).
           05  WEIGHT-GRAMS        PIC S9(9)    COMP-5.
           05  COD-AMOUNT          PIC S9(5)V99 SIGN LEADING SEPARATE.
           05  LINE-COUNT          PIC 9.
           05  SHIP-LINE OCCURS 0 TO 4 TIMES DEPENDING ON LINE-COUNT.
               10  ITEM-CODE       PIC X(5).
               10  QUANTITY        PIC S9(5)    COMP-3.
           05  DESTINATION         PIC X(8).
