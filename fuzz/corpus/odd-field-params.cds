<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<DATAPACKET Version="2.0"><METADATA><FIELDS>
<FIELD attrname="NM" fieldtype="string" WIDTH="10"><PARAM Name="ORIGIN" Value="T.NM"><PARAM/></PARAM></FIELD>
<FIELD attrname="Q" fieldtype="r8"/>
</FIELDS><PARAMS/></METADATA><ROWDATA>
<ROW Q="-1.5e-07" NM="x"/><ROW Q="+25E-1"/>
</ROWDATA></DATAPACKET>
