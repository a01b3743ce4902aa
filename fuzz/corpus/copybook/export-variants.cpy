       01  EXPORT-REC.
           05  REC-TYPE         PIC X.
           05  REC-SEQ          PIC 9(4) COMP.
           05  CUSTOMER-DATA.
               10  CUST-ID      PIC 9(6).
               10  CUST-NAME    PIC X(20).
           05  ACCOUNT-DATA REDEFINES CUSTOMER-DATA.
               10  ACCT-ID      PIC 9(6).
               10  BALANCE      PIC S9(7)V99 COMP-3 OCCURS 2.
           05  CARD-NO REDEFINES CUSTOMER-DATA PIC X(16).
           05  TAIL             PIC X(3).
