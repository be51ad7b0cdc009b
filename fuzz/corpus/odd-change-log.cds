<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<DATAPACKET Version="2.0"><METADATA><FIELDS>
<FIELD attrname="NM" fieldtype="string" WIDTH="10"/>
<FIELD attrname="NR" fieldtype="i4"/>
</FIELDS><PARAMS CHANGE_LOG="1 0 4 2 0 8"/></METADATA><ROWDATA>
<ROW RowState="4" NM="a" NR="1"/>
<ROW RowState="1" NM="b" NR="-2147483648"/>
<ROW RowState="8" NM="c" NR="2147483647"/>
</ROWDATA></DATAPACKET>
