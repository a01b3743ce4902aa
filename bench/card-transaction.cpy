      * A card transaction as a card issuer's host keeps it: 350 bytes, mostly
      * text (names, addresses, descriptions), with an amount, codes and stamps.
       01  CARD-TRANSACTION.
           05  TRAN-ID             PIC X(16).
           05  TRAN-TYPE           PIC X(2).
           05  TRAN-CATEGORY       PIC 9(4).
           05  TRAN-SOURCE         PIC X(10).
           05  TRAN-DESC           PIC X(60).
           05  TRAN-AMOUNT         PIC S9(9)V99.
           05  CARD-NUMBER         PIC X(16).
           05  CARDHOLDER-NAME     PIC X(40).
           05  MERCHANT-ID         PIC 9(9).
           05  MERCHANT-NAME       PIC X(40).
           05  MERCHANT-ADDRESS    PIC X(50).
           05  MERCHANT-CITY       PIC X(30).
           05  MERCHANT-ZIP        PIC X(10).
           05  ORIG-TIMESTAMP      PIC X(26).
           05  FILLER              PIC X(26).
