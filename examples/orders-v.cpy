      * Orders as a variable-length (V) file keeps them: an order's head, then
      * its lines, told apart by their first byte (H head, L line). A line
      * without a note ends before it, so its record is shorter.
       01  ORDER-HEAD.
           05  REC-TYPE            PIC X.
           05  ORDER-NO            PIC 9(8).
           05  ORDER-DATE          PIC 9(8).
           05  CUSTOMER            PIC N(10).
           05  LINE-COUNT          PIC 9(3)     COMP-3.
       01  ORDER-LINE.
           05  REC-TYPE            PIC X.
           05  ITEM-CODE           PIC X(6).
           05  QUANTITY            PIC S9(5)    COMP-3.
           05  UNIT-PRICE          PIC S9(7)V99 COMP-3.
           05  NOTE                PIC N(20).
