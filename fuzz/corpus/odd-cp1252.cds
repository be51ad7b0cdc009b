<?xml version="1.0" encoding="ISO-8859-1" standalone="yes"?>
<DATAPACKET Version="2.0"><METADATA><FIELDS>
<FIELD attrname="NM" fieldtype="string.uni" WIDTH="20"/>
<FIELD attrname="DT" fieldtype="date"/>
</FIELDS><PARAMS/></METADATA><ROWDATA>
<ROW NM="Feijão €" DT="20260229"/>
<ROW NM="a&lt;b&gt;c&quot;d&apos;e&#13;&#10;&#9;"/>
</ROWDATA></DATAPACKET>
