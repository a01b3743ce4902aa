"""The exception and the warning of the convertquor package."""


class Error(Exception):
    """A failure of ConvertQuor, in the quor command's words.

    Raised for a record the library refuses to write or cannot read, a layout it cannot take, and an
    operation of the component (convertquor.Quor) that fails. str(error) is the message the quor
    command prints; its parts are attributes, None where they do not apply:

    number  the runtime error number of a failing operation (5, 6, 7, 9, 13, ...); None for a value
            refused because it would be written other than it reads, and for invalid data read
    record  the record, counted from 1
    column  the column, counted from 1
    field   the column's name
    value   the value refused (str), or the invalid bytes read (bytes)
    reason  what is wrong, in words
    offset  the first byte concerned, counted from 0 from the start of the file read
    source  the file read, when one was named
    """

    def __init__(self, message, *, number=None, record=None, column=None, field=None, value=None, reason=None,
                 offset=None, source=None):
        super().__init__(message)
        self.number = number
        self.record = record
        self.column = column
        self.field = field
        self.value = value
        self.reason = reason
        self.offset = offset
        self.source = source


class LenientWarning(UserWarning):
    """What a run let through at the caller's word: values written other than they read or read from
    invalid data (lenient=True), and bad records skipped (skip_bad=True), with the first of them."""
