
  <?xml version="1.0"?>
<!-- x --><DATAPACKET  Version = "2.0" >
	<METADATA>
		<FIELDS>
			<FIELD
 attrname='NM'	FIELDTYPE="String"  width="10" subtype="fixedchar" />
<FIELD attrname="DT" fieldtype="DATETIME"/></FIELDS>
		<PARAMS LCID="1046"><PARAM name="x" value="1"/></PARAMS>
	</METADATA>
	<ROWDATA>
		<ROW	NM	=	"Feij&#227;o &amp; &#x41;"
 DT="20090310T10:20" ></ROW>
	</ROWDATA >
</DATAPACKET>
