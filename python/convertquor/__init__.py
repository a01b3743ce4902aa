"""ConvertQuor for Python: Fujitsu host record files read into pandas and written from Python values.

    import convertquor
    orders = convertquor.read("orders.dat", copybook="order.cpy")      # a pandas DataFrame
    convertquor.write(orders, "orders-copy.dat", copybook="order.cpy")  # the same bytes back
    for record in convertquor.records("big.dat", copybook="order.cpy"):  # one dict at a time
        ...

The records are read and built by the ConvertQuor library, the same code as the quor command's, and a
record it refuses raises convertquor.Error with the command's message. convertquor.dask reads files
across a Dask cluster; convertquor.Quor is the component's object, for scripts ported from its
automation interface.
"""

from ._core import Quor, setCharacter, setNCharacter, setNumeric, setPackNumeric
from ._errors import Error, LenientWarning
from ._records import Layout, read, records, write

__version__ = Quor().Version()

__all__ = ["Error", "LenientWarning", "Layout", "Quor", "read", "records", "write", "setNumeric", "setCharacter",
           "setNCharacter", "setPackNumeric"]
