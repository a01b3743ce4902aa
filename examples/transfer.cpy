      * A bank transfer file: a header, one record a transfer, a trailer and an
      * end record, each 120 bytes of text and zoned digits, told apart by their
      * first byte (1 header, 2 data, 8 trailer, 9 end).
       01  TRANSFER-HEADER.
           05  REC-TYPE            PIC X.
           05  KIND-CODE           PIC 9(2).
           05  CODE-SET            PIC X.
           05  CLIENT-CODE         PIC X(10).
           05  CLIENT-NAME         PIC X(40).
           05  TRANSFER-DATE       PIC X(4).
           05  BANK-CODE           PIC X(4).
           05  BANK-NAME           PIC X(15).
           05  BRANCH-CODE         PIC X(3).
           05  BRANCH-NAME         PIC X(15).
           05  ACCOUNT-KIND        PIC 9.
           05  ACCOUNT-NO          PIC X(7).
           05  FILLER              PIC X(17).
       01  TRANSFER-DATA.
           05  REC-TYPE            PIC X.
           05  BANK-CODE           PIC X(4).
           05  BANK-NAME           PIC X(15).
           05  BRANCH-CODE         PIC X(3).
           05  BRANCH-NAME         PIC X(15).
           05  CLEARING-HOUSE      PIC X(4).
           05  ACCOUNT-KIND        PIC 9.
           05  ACCOUNT-NO          PIC X(7).
           05  PAYEE-NAME          PIC X(30).
           05  AMOUNT              PIC 9(10).
           05  NEW-CODE            PIC X.
           05  CUSTOMER-CODE-1     PIC X(10).
           05  CUSTOMER-CODE-2     PIC X(10).
           05  TRANSFER-KIND       PIC X.
           05  FILLER              PIC X(8).
       01  TRANSFER-TRAILER.
           05  REC-TYPE            PIC X.
           05  RECORD-COUNT        PIC 9(6).
           05  TOTAL-AMOUNT        PIC 9(12).
           05  FILLER              PIC X(101).
       01  TRANSFER-END.
           05  REC-TYPE            PIC X.
           05  FILLER              PIC X(119).
