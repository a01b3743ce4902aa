           05  KEY-PART.
               10  BRANCH      PIC 9(3).
               10  SERIAL      PIC 9(7).
           05  NAME-KANA       PIC X(30).
           05                  PIC X(2).
       77  CHECK-DIGIT         PIC 9.
