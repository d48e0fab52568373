// Picture helpers live in the header.
