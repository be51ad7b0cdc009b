<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<DATAPACKET Version="2.0"><METADATA><FIELDS>
<FIELD attrname="CDFILIAL" fieldtype="string" WIDTH="4"/>
<FIELD attrname="ATIVO" fieldtype="boolean"/>
<FIELD attrname="VR" fieldtype="fixed" DECIMALS="2" WIDTH="10"/>
<FIELD attrname="PESO" fieldtype="r4"/>
<FIELD attrname="FOTO" fieldtype="bin.hex" SUBTYPE="Binary"/>
<FIELD attrname="QUANDO" fieldtype="SQLdateTime"/>
<FIELD attrname="N8" fieldtype="i8"/>
<FIELD attrname="HORA" fieldtype="time"/>
</FIELDS><PARAMS/></METADATA><ROWDATA>
<ROW CDFILIAL="0001" ATIVO="TRUE" VR="12.34" PESO="1.5" FOTO="0A0B" QUANDO="20261210T10:20:30000" N8="9999999999" HORA="10:20:30000"/>
<ROW CDFILIAL="0002" ATIVO="FALSE"/>
</ROWDATA></DATAPACKET>
