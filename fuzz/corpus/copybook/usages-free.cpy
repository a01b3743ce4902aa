*> free form: every usage, lower case
01 balance-rec.
   05 account-id       pic x(12).
   05 balance          pic s9(11)v99 usage is computational-3.
   05 txn-count        pic 9(9) binary.
   05 big-count        pic s9(18) comp-5.
   05 rate             pic v9(5) display.
   05 holder-kanji     pic n(15) usage national.
   05 branch-kanji     pic g(8) display-1.
   05 filler           pic x(4).
